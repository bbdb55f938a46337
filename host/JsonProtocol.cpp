#include "JsonProtocol.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

namespace rilo::host {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// Automation dates of the years 100 to 9999: the range the calendar conversion covers.
constexpr double kFirstDate = -657434.0;
constexpr double kEndOfLastDate = 2958466.0;

constexpr std::string_view kCallList = "StartServer, StartUpdate, StartRun, Release or Status";

// Thrown inside the parser only; ParseCall turns it into a ProtocolError.
struct BadLine {
  std::string message;
};

std::string_view TypeWord(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "true or false";
    case Json::value_t::string:
      return "a text";
    case Json::value_t::array:
      return "a list";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return "a number";
    default:
      return "not a value";
  }
}

// A value as it appears in the line, shortened so one bad field cannot flood the error line.
std::string Shown(const Json& value) {
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  constexpr std::size_t kMax = 40;
  if (text.size() > kMax) {
    text.resize(kMax);
    text += "...";
  }
  return text;
}

[[noreturn]] void WrongType(std::string_view field, std::string_view wanted, const Json& value) {
  throw BadLine{fmt::format("\"{}\" must be {}, not {}", field, wanted, TypeWord(value))};
}

// The fields of one call object: every field must be asked for, so a misspelt optional
// field is reported instead of silently ignored.
class Fields {
 public:
  Fields(const Json& object, std::string_view call) : object_(object), call_(call) {
    used_.insert("call");
    used_.insert("instance");
  }

  const Json* Optional(const std::string& name) {
    used_.insert(name);
    auto it = object_.find(name);
    return it == object_.end() ? nullptr : &*it;
  }

  const Json& Required(const std::string& name) {
    const Json* value = Optional(name);
    if (value == nullptr) throw BadLine{fmt::format("{} needs the field \"{}\"", call_, name)};
    return *value;
  }

  void RejectOthers() const {
    for (const auto& item : object_.items()) {
      if (!used_.contains(item.key())) {
        throw BadLine{fmt::format("{} has no field \"{}\"", call_, item.key())};
      }
    }
  }

 private:
  const Json& object_;
  std::string_view call_;
  std::set<std::string, std::less<>> used_;
};

std::string ReadText(const Json& value, std::string_view field) {
  if (!value.is_string()) WrongType(field, "a text", value);
  std::string text = value.get<std::string>();
  // No text of the server can carry one: SQL text and the database engines end it there.
  if (text.find('\0') != std::string::npos) {
    throw BadLine{fmt::format("\"{}\" holds a NUL character (U+0000), which no text may contain",
                              field)};
  }
  return text;
}

AutomationDate ReadDate(const Json& value, std::string_view field) {
  if (value.is_string()) {
    const auto& text = value.get_ref<const std::string&>();
    if (auto date = ParseAutomationDate(text)) return *date;
    throw BadLine{
        fmt::format("\"{}\" must be a real date written yyyy-MM-dd, yyyy-MM-dd HH:mm or "
                    "yyyy-MM-dd HH:mm:ss, not {}",
                    field, Shown(value))};
  }
  if (!value.is_number()) {
    WrongType(field, "a date text (yyyy-MM-dd[ HH:mm[:ss]]) or an automation date number", value);
  }
  const double date = value.get<double>();
  if (!(date >= kFirstDate && date < kEndOfLastDate)) {
    throw BadLine{fmt::format(
        "\"{}\" {} is out of range: an automation date runs from {} (year 100) to below {} "
        "(year 10000)",
        field, Shown(value), kFirstDate, kEndOfLastDate)};
  }
  return date;
}

// A whole number within [low, high]; a float is accepted when it has no fraction.
std::int64_t ReadWholeNumber(const Json& value, std::string_view field, std::int64_t low,
                             std::int64_t high, std::string_view wanted) {
  if (!value.is_number()) WrongType(field, wanted, value);
  bool in_range = false;
  std::int64_t number = 0;
  if (value.is_number_unsigned()) {
    const auto u = value.get<std::uint64_t>();
    in_range = u <= static_cast<std::uint64_t>(high);
    number = in_range ? static_cast<std::int64_t>(u) : 0;
  } else if (value.is_number_integer()) {
    number = value.get<std::int64_t>();
    in_range = number >= low && number <= high;
  } else {
    const double d = value.get<double>();
    in_range =
        std::trunc(d) == d && d >= static_cast<double>(low) && d <= static_cast<double>(high);
    number = in_range ? static_cast<std::int64_t>(d) : 0;
  }
  if (!in_range)
    throw BadLine{fmt::format("\"{}\" must be {}, not {}", field, wanted, Shown(value))};
  return number;
}

std::int32_t ReadInt32(const Json& value, std::string_view field) {
  using Limits = std::numeric_limits<std::int32_t>;
  return static_cast<std::int32_t>(
      ReadWholeNumber(value, field, Limits::min(), Limits::max(),
                      fmt::format("a whole number from {} to {}", Limits::min(), Limits::max())));
}

VariantBool ReadVariantBool(const Json& value, std::string_view field) {
  using Limits = std::numeric_limits<VariantBool>;
  const std::string wanted =
      fmt::format("true, false or a whole number from {} to {}", Limits::min(), Limits::max());
  if (value.is_boolean()) return value.get<bool>() ? kVariantTrue : kVariantFalse;
  return static_cast<VariantBool>(
      ReadWholeNumber(value, field, Limits::min(), Limits::max(), wanted));
}

CallArgs ReadArgs(const std::string& name, Fields& fields) {
  if (name == "StartServer") {
    StartServerCall call;
    call.MyDate = ReadDate(fields.Required("MyDate"), "MyDate");
    call.MyDpName = ReadText(fields.Required("MyDpName"), "MyDpName");
    call.MySetStr = ReadText(fields.Required("MySetStr"), "MySetStr");
    if (const Json* interval = fields.Optional("StartInterval")) {
      call.StartInterval = ReadInt32(*interval, "StartInterval");
    }
    return call;
  }
  if (name == "StartUpdate") {
    StartUpdateCall call;
    call.MySetStr = ReadText(fields.Required("MySetStr"), "MySetStr");
    call.GetNetwork = ReadVariantBool(fields.Required("GetNetwork"), "GetNetwork");
    call.MyDpName = ReadText(fields.Required("MyDpName"), "MyDpName");
    return call;
  }
  if (name == "StartRun") return StartRunCall{};
  if (name == "Release") return ReleaseCall{};
  if (name == "Status") return StatusCall{};
  throw BadLine{fmt::format("unknown call \"{}\": the calls are {}", name, kCallList)};
}

Call ReadCall(const Json& object) {
  if (!object.is_object()) {
    throw BadLine{
        fmt::format("a line must hold one JSON object such as {{\"call\":\"StartRun\"}}, "
                    "not {}",
                    TypeWord(object))};
  }
  auto call_field = object.find("call");
  if (call_field == object.end()) {
    throw BadLine{fmt::format("the field \"call\" is missing: it names the call ({})", kCallList)};
  }
  const std::string name = ReadText(*call_field, "call");

  Call call;
  if (auto instance = object.find("instance"); instance != object.end()) {
    call.instance = ReadText(*instance, "instance");
    if (call.instance.empty()) throw BadLine{"\"instance\" must not be empty"};
  }
  Fields fields(object, name);
  call.args = ReadArgs(name, fields);
  fields.RejectOthers();
  return call;
}

// nlohmann's message without its code and the "line 1" of a one-line document.
std::string DescribeParseError(const Json::parse_error& error) {
  std::string_view what = error.what();
  constexpr std::string_view kMarker = ": ";
  if (auto colon = what.find(kMarker, what.find("column")); colon != std::string_view::npos) {
    what.remove_prefix(colon + kMarker.size());
  }
  return fmt::format("the line is not valid JSON (at character {}: {})", error.byte, what);
}

std::string Dump(const OrderedJson& object) {
  return object.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

std::string EncodeText(std::string_view event, std::string_view instance, std::string_view str) {
  return Dump(OrderedJson{{"event", event}, {"instance", instance}, {"str", str}});
}

}  // namespace

std::string_view Call::Name() const {
  struct Namer {
    std::string_view operator()(const StartServerCall& /*args*/) const { return "StartServer"; }
    std::string_view operator()(const StartUpdateCall& /*args*/) const { return "StartUpdate"; }
    std::string_view operator()(const StartRunCall& /*args*/) const { return "StartRun"; }
    std::string_view operator()(const ReleaseCall& /*args*/) const { return "Release"; }
    std::string_view operator()(const StatusCall& /*args*/) const { return "Status"; }
  };
  return std::visit(Namer{}, args);
}

std::variant<Call, ProtocolError> ParseCall(std::string_view line) {
  try {
    return ReadCall(Json::parse(line));
  } catch (const Json::parse_error& error) {
    return ProtocolError{DescribeParseError(error)};
  } catch (BadLine& bad) {
    return ProtocolError{std::move(bad.message)};
  } catch (const std::exception& error) {
    return ProtocolError{fmt::format("the line could not be read: {}", error.what())};
  }
}

std::string EncodeServerStart(std::string_view instance, std::string_view str) {
  return EncodeText("ServerStart", instance, str);
}

std::string EncodeTipsUpdate(std::string_view instance, VariantBool Pd) {
  return Dump(OrderedJson{{"event", "TipsUpdate"}, {"instance", instance}, {"Pd", Pd != 0}});
}

std::string EncodeWorkProcess(std::string_view instance, std::int32_t index) {
  return Dump(OrderedJson{{"event", "WorkProcess"}, {"instance", instance}, {"index", index}});
}

std::string EncodeTipsStart(std::string_view instance, std::string_view str) {
  return EncodeText("TipsStart", instance, str);
}

std::string EncodeReturn(std::string_view call, std::string_view instance) {
  return Dump(OrderedJson{{"return", call}, {"instance", instance}});
}

std::string EncodeError(std::string_view message, std::uint64_t line_number) {
  return Dump(OrderedJson{{"error", message}, {"line", line_number}});
}

}  // namespace rilo::host
