#include "../../host/JsonProtocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

namespace rilo::host {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;

Call ParseOk(std::string_view line) {
  auto parsed = ParseCall(line);
  if (auto* error = std::get_if<ProtocolError>(&parsed)) {
    ADD_FAILURE() << "rejected " << line << ": " << error->message;
    return {};
  }
  return std::get<Call>(parsed);
}

std::string ParseError(std::string_view line) {
  auto parsed = ParseCall(line);
  if (std::holds_alternative<Call>(parsed)) {
    ADD_FAILURE() << "accepted " << line;
    return {};
  }
  return std::get<ProtocolError>(parsed).message;
}

TEST(JsonProtocol, StartServerWithEveryField) {
  const Call call =
      ParseOk(R"({"call":"StartServer","MyDate":"2026-03-08","MyDpName":" 中心店 ",)"
              R"("MySetStr":"srv｜sa｜pw｜HQ","StartInterval":5000,"instance":"till-2"})");
  EXPECT_EQ(call.Name(), "StartServer");
  EXPECT_EQ(call.instance, "till-2");
  const auto& args = std::get<StartServerCall>(call.args);
  EXPECT_DOUBLE_EQ(args.MyDate, 46089.0);
  EXPECT_EQ(args.MyDpName, " 中心店 ");  // trimming is the server's business
  EXPECT_EQ(args.MySetStr, "srv｜sa｜pw｜HQ");
  EXPECT_EQ(args.StartInterval, 5000);
}

TEST(JsonProtocol, StartServerDefaults) {
  const Call call =
      ParseOk(R"({"call":"StartServer","MyDate":46089.5,"MyDpName":"x","MySetStr":""})");
  EXPECT_EQ(call.instance, "1");
  const auto& args = std::get<StartServerCall>(call.args);
  EXPECT_DOUBLE_EQ(args.MyDate, 46089.5);
  EXPECT_EQ(args.StartInterval, 0);
}

TEST(JsonProtocol, DateTextsWithAndWithoutTime) {
  auto date_of = [](std::string_view text) {
    const Call call = ParseOk(R"({"call":"StartServer","MyDpName":"","MySetStr":"","MyDate":")" +
                              std::string(text) + "\"}");
    return std::get<StartServerCall>(call.args).MyDate;
  };
  EXPECT_DOUBLE_EQ(date_of("2026-03-08"), 46089.0);
  EXPECT_DOUBLE_EQ(date_of("2026-03-08 12:00"), 46089.5);
  EXPECT_DOUBLE_EQ(date_of("2026-03-08 06:00:00"), 46089.25);
  EXPECT_DOUBLE_EQ(date_of("1899-12-30"), 0.0);
}

TEST(JsonProtocol, DateNumbersIncludingWholeAndNegative) {
  auto date_of = [](std::string_view number) {
    const Call call = ParseOk(R"({"call":"StartServer","MyDpName":"","MySetStr":"","MyDate":)" +
                              std::string(number) + "}");
    return std::get<StartServerCall>(call.args).MyDate;
  };
  EXPECT_DOUBLE_EQ(date_of("46089"), 46089.0);
  EXPECT_DOUBLE_EQ(date_of("-1.25"), -1.25);
  EXPECT_DOUBLE_EQ(date_of("2958465.5"), 2958465.5);
}

TEST(JsonProtocol, BadDatesAreRefused) {
  const std::string prefix = R"({"call":"StartServer","MyDpName":"","MySetStr":"","MyDate":)";
  EXPECT_THAT(ParseError(prefix + R"("2026-02-30"})"), HasSubstr("real date"));
  EXPECT_THAT(ParseError(prefix + R"("08.03.2026"})"), HasSubstr("yyyy-MM-dd"));
  EXPECT_THAT(ParseError(prefix + R"("2026-03-08T10:00"})"), HasSubstr("MyDate"));
  EXPECT_THAT(ParseError(prefix + "1e300}"), HasSubstr("out of range"));
  EXPECT_THAT(ParseError(prefix + "-700000}"), HasSubstr("out of range"));
  EXPECT_THAT(ParseError(prefix + "true}"), HasSubstr("not true or false"));
  EXPECT_THAT(ParseError(prefix + "null}"), HasSubstr("not null"));
}

TEST(JsonProtocol, StartIntervalIsA32BitWholeNumber) {
  auto interval_of = [](std::string_view number) {
    return R"({"call":"StartServer","MyDate":1,"MyDpName":"","MySetStr":"","StartInterval":)" +
           std::string(number) + "}";
  };
  EXPECT_EQ(std::get<StartServerCall>(ParseOk(interval_of("2147483647")).args).StartInterval,
            2147483647);
  EXPECT_EQ(std::get<StartServerCall>(ParseOk(interval_of("-2147483648")).args).StartInterval,
            -2147483648LL);
  EXPECT_EQ(std::get<StartServerCall>(ParseOk(interval_of("60000.0")).args).StartInterval, 60000);
  EXPECT_THAT(ParseError(interval_of("2147483648")), HasSubstr("from -2147483648 to 2147483647"));
  EXPECT_THAT(ParseError(interval_of("-2147483649")), HasSubstr("StartInterval"));
  EXPECT_THAT(ParseError(interval_of("18446744073709551615")), HasSubstr("StartInterval"));
  EXPECT_THAT(ParseError(interval_of("100.5")), HasSubstr("whole number"));
  EXPECT_THAT(ParseError(interval_of("\"5000\"")), HasSubstr("not a text"));
}

TEST(JsonProtocol, StartUpdateGetNetworkAsBoolOrInteger) {
  auto network_of = [](std::string_view value) {
    const Call call =
        ParseOk(R"({"call":"StartUpdate","MySetStr":"a","MyDpName":"b","GetNetwork":)" +
                std::string(value) + "}");
    return std::get<StartUpdateCall>(call.args).GetNetwork;
  };
  EXPECT_EQ(network_of("true"), kVariantTrue);
  EXPECT_EQ(network_of("false"), kVariantFalse);
  EXPECT_EQ(network_of("-1"), -1);
  EXPECT_EQ(network_of("1"), 1);  // passed on as received: only -1 counts as True
  EXPECT_EQ(network_of("0"), 0);
  EXPECT_EQ(network_of("-32768"), -32768);
  EXPECT_EQ(network_of("32767"), 32767);
}

TEST(JsonProtocol, StartUpdateFieldsAreChecked) {
  const std::string prefix = R"({"call":"StartUpdate","MySetStr":"a","MyDpName":"b","GetNetwork":)";
  EXPECT_THAT(ParseError(prefix + "32768}"), HasSubstr("from -32768 to 32767"));
  EXPECT_THAT(ParseError(prefix + "-32769}"), HasSubstr("GetNetwork"));
  EXPECT_THAT(ParseError(prefix + "0.5}"), HasSubstr("GetNetwork"));
  EXPECT_THAT(ParseError(prefix + "\"true\"}"), HasSubstr("not a text"));
  EXPECT_THAT(ParseError(R"({"call":"StartUpdate","MySetStr":"a","MyDpName":"b"})"),
              HasSubstr("StartUpdate needs the field \"GetNetwork\""));
  EXPECT_THAT(ParseError(R"({"call":"StartUpdate","MySetStr":1,"MyDpName":"b","GetNetwork":true})"),
              HasSubstr("\"MySetStr\" must be a text, not a number"));
  const Call call = ParseOk(
      R"({"call":"StartUpdate","MySetStr":"m｜u｜p｜d｜l｜u｜p｜d","MyDpName":"b","GetNetwork":true})");
  const auto& args = std::get<StartUpdateCall>(call.args);
  EXPECT_EQ(args.MySetStr, "m｜u｜p｜d｜l｜u｜p｜d");
  EXPECT_EQ(args.MyDpName, "b");
}

TEST(JsonProtocol, StartRunAndRelease) {
  EXPECT_TRUE(std::holds_alternative<StartRunCall>(ParseOk(R"({"call":"StartRun"})").args));
  const Call release = ParseOk(R"({"call":"Release","instance":"b"})");
  EXPECT_TRUE(std::holds_alternative<ReleaseCall>(release.args));
  EXPECT_EQ(release.Name(), "Release");
  EXPECT_EQ(release.instance, "b");
}

TEST(JsonProtocol, MissingRequiredFields) {
  EXPECT_THAT(ParseError(R"({"call":"StartServer","MyDpName":"","MySetStr":""})"),
              HasSubstr("StartServer needs the field \"MyDate\""));
  EXPECT_THAT(ParseError(R"({"call":"StartServer","MyDate":1,"MySetStr":""})"),
              HasSubstr("\"MyDpName\""));
  EXPECT_THAT(ParseError(R"({"call":"StartServer","MyDate":1,"MyDpName":""})"),
              HasSubstr("\"MySetStr\""));
}

TEST(JsonProtocol, FieldsThatNoCallTakesAreRefused) {
  EXPECT_THAT(ParseError(R"({"call":"StartRun","StartInterval":10})"),
              HasSubstr("StartRun has no field \"StartInterval\""));
  // A misspelt optional field would otherwise be dropped without a word.
  EXPECT_THAT(
      ParseError(
          R"({"call":"StartServer","MyDate":1,"MyDpName":"","MySetStr":"","Startinterval":5})"),
      HasSubstr("no field \"Startinterval\""));
}

TEST(JsonProtocol, LinesThatAreNotCalls) {
  EXPECT_THAT(ParseError("hello"), HasSubstr("not valid JSON"));
  EXPECT_THAT(ParseError(R"({"call":"StartRun")"), HasSubstr("not valid JSON"));
  EXPECT_THAT(ParseError(R"({"call":"StartRun"} {"call":"StartRun"})"),
              HasSubstr("not valid JSON"));
  EXPECT_THAT(ParseError("[1,2]"), HasSubstr("not a list"));
  EXPECT_THAT(ParseError("42"), HasSubstr("JSON object"));
  EXPECT_THAT(ParseError("{}"), HasSubstr("\"call\" is missing"));
  EXPECT_THAT(ParseError(R"({"call":7})"), HasSubstr("\"call\" must be a text"));
  EXPECT_THAT(ParseError(R"({"call":"StopServer"})"), HasSubstr("unknown call \"StopServer\""));
  EXPECT_THAT(ParseError(R"({"call":"startrun"})"), HasSubstr("unknown call"));
  EXPECT_THAT(ParseError(R"({"call":"StartRun","instance":2})"),
              HasSubstr("\"instance\" must be a text"));
  EXPECT_THAT(ParseError(R"({"call":"StartRun","instance":""})"), HasSubstr("must not be empty"));
}

TEST(JsonProtocol, TextHoldingANulCharacterIsRefusedByItsField) {
  EXPECT_THAT(
      ParseError(R"({"call":"StartUpdate","MySetStr":"a","MyDpName":"中心\u0000店","GetNetwork":true})"),
      HasSubstr("\"MyDpName\" holds a NUL character"));
  EXPECT_THAT(ParseError(R"({"call":"StartServer","MyDate":1,"MyDpName":"b","MySetStr":"\u0000"})"),
              HasSubstr("\"MySetStr\" holds a NUL"));
  EXPECT_THAT(ParseError(R"({"call":"StartRun","instance":"a\u0000"})"),
              HasSubstr("\"instance\" holds a NUL"));
  EXPECT_THAT(ParseError(R"({"call":"Start\u0000Run"})"), HasSubstr("\"call\" holds a NUL"));
}

TEST(JsonProtocol, InvalidUtf8IsAParseErrorWhoseReportStaysValidJson) {
  const std::string line = "{\"call\":\"Start\xff\xfeRun\"}";
  const std::string message = ParseError(line);
  EXPECT_THAT(message, HasSubstr("not valid JSON"));
  const Json decoded = Json::parse(EncodeError(message, 3));
  EXPECT_EQ(decoded["line"], 3);
}

TEST(JsonProtocol, EventsEncodeAsOneLineObjects) {
  EXPECT_EQ(EncodeWorkProcess("1", 360), R"({"event":"WorkProcess","instance":"1","index":360})");
  EXPECT_EQ(EncodeTipsUpdate("1", kVariantTrue),
            R"({"event":"TipsUpdate","instance":"1","Pd":true})");
  EXPECT_EQ(EncodeTipsUpdate("1", kVariantFalse),
            R"({"event":"TipsUpdate","instance":"1","Pd":false})");
  EXPECT_EQ(EncodeReturn("StartRun", "a"), R"({"return":"StartRun","instance":"a"})");
  EXPECT_EQ(EncodeError("bad", 7), R"({"error":"bad","line":7})");
}

TEST(JsonProtocol, EventTextSurvivesAnyContent) {
  const std::string text = "Facial‖1280.5｜Say \"hi\"\\‖0｜line\nbreak\ttab\x01‖2｜商品销售‖156";
  for (const std::string& line :
       {EncodeServerStart("店 \"1\"", text), EncodeTipsStart("x", text)}) {
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    const Json decoded = Json::parse(line);
    EXPECT_EQ(decoded["str"], text);
  }
  EXPECT_EQ(Json::parse(EncodeServerStart("店 \"1\"", text))["instance"], "店 \"1\"");
}

TEST(JsonProtocol, BrokenUtf8InEventTextIsReplacedNotFatal) {
  const std::string line = EncodeTipsStart("1", "预约\xe9\xa1顾客");
  const Json decoded = Json::parse(line);
  EXPECT_EQ(decoded["str"], "预约\xEF\xBF\xBD顾客");
}

}  // namespace
}  // namespace rilo::host
