// `rilo-server serve` driven as a host would drive it: JSON lines in, JSON lines out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ServerProcess.h"
#include "rilo/SampleChain.h"

namespace rilo::host {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Json = nlohmann::json;
using testing::ServerProcess;
using namespace std::chrono_literals;

// Settings whose databases cannot exist: any refresh through them fails.
const std::string kUnreachableSettings =
    "sqlite:/dev/null/none｜｜｜HQ｜sqlite:/dev/null/none｜｜｜Store";

std::filesystem::path TestFolder(const std::string& name) {
  const auto dir = std::filesystem::path(RILO_TEST_TMPDIR) / "host" / name;
  std::filesystem::remove_all(dir);
  return dir;
}

schema::SampleChain MakeChain(const std::string& name) {
  schema::SampleChainOptions options;
  options.dir = TestFolder(name);
  return schema::CreateSampleChain(options);
}

std::unique_ptr<ServerProcess> Serve(std::vector<std::string> extra = {}) {
  std::vector<std::string> args{"serve"};
  args.insert(args.end(), extra.begin(), extra.end());
  return std::make_unique<ServerProcess>(args);
}

auto IsEvent(const std::string& event, const std::string& instance = "1") {
  return [=](const Json& j) {
    return j.value("event", "") == event && j.value("instance", "") == instance;
  };
}

Json StartServerLine(const std::string& instance, const Json& date, const std::string& settings,
                     int interval) {
  return {{"call", "StartServer"},  {"instance", instance}, {"MyDate", date},
          {"MyDpName", " 中心店 "}, {"MySetStr", settings}, {"StartInterval", interval}};
}

Json StartUpdateLine(const std::string& settings, const Json& get_network) {
  return {{"call", "StartUpdate"},
          {"MySetStr", settings},
          {"GetNetwork", get_network},
          {"MyDpName", "中心店"}};
}

TEST(Serve, StartRunTicksZeroToThreeSixtyAndAround) {
  auto server = Serve();
  server->Write(R"({"call":"StartRun"})");
  EXPECT_EQ(server->ReadJson(5s), (Json{{"return", "StartRun"}, {"instance", "1"}}));
  std::vector<int> seen;
  for (int i = 0; i < 40; ++i) {
    auto event = server->ReadJson(5s);
    ASSERT_TRUE(event);
    ASSERT_EQ((*event)["event"], "WorkProcess");
    seen.push_back((*event)["index"].get<int>());
  }
  std::vector<int> expected;
  for (int i = 0; i < 40; ++i) expected.push_back((i % 37) * 10);
  EXPECT_EQ(seen, expected);

  server->Write(R"({"call":"StartRun"})");  // a second StartRun goes on without a jump
  std::vector<Json> between;
  ASSERT_TRUE(
      server->ReadJsonUntil([](const Json& j) { return j.contains("return"); }, 5s, &between));
  auto next = server->ReadJsonUntil(IsEvent("WorkProcess"), 5s);
  ASSERT_TRUE(next);
  const int last = between.empty() ? seen.back() : between.back()["index"].get<int>();
  EXPECT_EQ((*next)["index"].get<int>(), last >= 360 ? 0 : last + 10);
}

TEST(Serve, StartServerTakesTheDateAsTextOrNumber) {
  const auto chain = MakeChain("dates");
  auto server = Serve();
  const std::vector<std::pair<std::string, Json>> dates{{"day", "2026-03-08"},
                                                        {"minutes", "2026-03-08 14:30"},
                                                        {"seconds", "2026-03-08 14:30:05"},
                                                        {"number", 46089.604}};
  for (const auto& [instance, date] : dates) {
    server->Write(StartServerLine(instance, date, chain.settings_string, 50).dump());
    EXPECT_EQ(server->ReadJson(5s), (Json{{"return", "StartServer"}, {"instance", instance}}));
  }
  // Same store, same business day: the four summaries agree, whatever the time of day.
  std::vector<std::string> texts;
  for (const auto& [instance, date] : dates) {
    auto summary = server->ReadJsonUntil(IsEvent("ServerStart", instance), 20s);
    ASSERT_TRUE(summary) << instance;
    texts.push_back((*summary)["str"].get<std::string>());
  }
  EXPECT_THAT(texts[0], HasSubstr("商品销售‖"));
  EXPECT_THAT(texts[0], HasSubstr("｜会员开卡‖"));
  for (const auto& text : texts) EXPECT_EQ(text, texts[0]);
}

TEST(Serve, GetNetworkTrueOrMinusOneRefreshesAnythingElseReportsTrueUntouched) {
  const auto chain = MakeChain("network");
  struct Case {
    std::string settings;
    Json get_network;
    bool expected_pd;
    std::unique_ptr<ServerProcess> server;
  };
  std::vector<Case> cases;
  cases.push_back({chain.settings_string, true, true, nullptr});  // a real refresh
  cases.push_back({kUnreachableSettings, -1, false, nullptr});    // a refresh that fails
  cases.push_back({kUnreachableSettings, 1, true, nullptr});      // no refresh: only -1 is True
  cases.push_back({kUnreachableSettings, 0, true, nullptr});
  const auto start = ServerProcess::Clock::now();
  // One process each, all at once: the settings record is shared by a process's instances,
  // and the no-refresh path takes 4.5 s that need not add up.
  for (auto& c : cases) {
    c.server = Serve();
    c.server->Write(StartUpdateLine(c.settings, c.get_network).dump());
  }
  for (auto& c : cases) {
    EXPECT_EQ(c.server->ReadJson(10s), (Json{{"return", "StartUpdate"}, {"instance", "1"}}));
    auto update = c.server->ReadJsonUntil(IsEvent("TipsUpdate"), 30s);
    ASSERT_TRUE(update) << c.get_network;
    EXPECT_EQ((*update)["Pd"], c.expected_pd) << c.get_network;
    if (c.get_network == 1 || c.get_network == 0) {
      EXPECT_GE(ServerProcess::Clock::now() - start, 4000ms) << "2000 ms period + 2500 ms pause";
    }
    // Exactly one run per StartUpdate.
    EXPECT_FALSE(c.server->ReadJsonUntil(IsEvent("TipsUpdate"), 100ms));
  }
}

TEST(Serve, InstancesHaveTheirOwnTickersAndReleaseStopsOne) {
  auto server = Serve();
  server->Write(R"({"call":"StartRun","instance":"a"})");
  server->Write(R"({"call":"StartRun","instance":"b"})");
  ASSERT_TRUE(server->ReadJsonUntil(IsEvent("WorkProcess", "a"), 5s));
  ASSERT_TRUE(server->ReadJsonUntil(IsEvent("WorkProcess", "b"), 5s));

  server->Write(R"({"call":"Release","instance":"a"})");
  ASSERT_TRUE(server->ReadJsonUntil(
      [](const Json& j) { return j.value("return", "") == "Release" && j["instance"] == "a"; },
      5s));
  std::vector<Json> after;
  for (int i = 0; i < 30; ++i) {
    auto event = server->ReadJson(5s);
    ASSERT_TRUE(event);
    after.push_back(*event);
  }
  for (const auto& event : after) EXPECT_EQ(event["instance"], "b") << event.dump();

  server->Write(R"({"call":"Release","instance":"a"})");
  auto refused = server->ReadJsonUntil([](const Json& j) { return j.contains("error"); }, 5s);
  ASSERT_TRUE(refused);
  EXPECT_THAT((*refused)["error"].get<std::string>(), HasSubstr("no instance \"a\""));
  EXPECT_EQ((*refused)["line"], 4);

  // The name is free again: a new instance, with a counter of its own from 0.
  server->Write(R"({"call":"StartRun","instance":"a"})");
  auto first = server->ReadJsonUntil(IsEvent("WorkProcess", "a"), 5s);
  ASSERT_TRUE(first);
  EXPECT_EQ((*first)["index"], 0);
}

TEST(Serve, BadLinesAreAnsweredWithTheirLineNumberAndChangeNothing) {
  auto server = Serve();
  const std::vector<std::pair<std::string, std::string>> bad{
      {"not json at all", "not valid JSON"},
      {R"({"call":"StartRun")", "not valid JSON"},
      {R"(["StartRun"])", "JSON object"},
      {R"({"instance":"1"})", "\"call\" is missing"},
      {R"({"call":"Stop"})", "unknown call \"Stop\""},
      {R"({"call":true})", "\"call\" must be a text"},
      {R"({"call":"StartRun","index":5})", "StartRun has no field \"index\""},
      {R"({"call":"StartServer","MyDate":"2026-13-01","MyDpName":"a","MySetStr":"b"})", "MyDate"},
      {R"({"call":"StartServer","MyDate":1,"MyDpName":2,"MySetStr":"b"})",
       "\"MyDpName\" must be a text"},
      {R"({"call":"StartServer","MyDate":1,"MyDpName":"a"})", "needs the field \"MySetStr\""},
      {R"({"call":"StartServer","MyDate":1,"MyDpName":"a","MySetStr":"b","StartInterval":4294967296})",
       "StartInterval"},
      {R"({"call":"StartUpdate","MySetStr":"a","GetNetwork":"yes","MyDpName":"b"})", "GetNetwork"},
      {R"({"call":"StartUpdate","MySetStr":"a","GetNetwork":65535,"MyDpName":"b"})", "GetNetwork"},
      {R"({"call":"Release","instance":"nobody"})", "no instance \"nobody\""},
      {"{\"call\":\"StartRun\",\"instance\":\"\xC3\x28\"}", "not valid JSON"},
      {R"({"call":"StartRun","instance":"1\u0000"})", "\"instance\" holds a NUL character"},
  };
  int line_number = 0;
  for (const auto& [line, why] : bad) {
    server->Write(line);
    server->Write("");  // empty lines are skipped but counted
    line_number += 2;
  }
  server->Write(std::string(1200 * 1024, ' ') + "x");  // longer than any call may be
  const int long_line = line_number + 1;
  line_number = 0;
  for (const auto& [line, why] : bad) {
    line_number += 2;
    auto answer = server->ReadJson(5s);
    ASSERT_TRUE(answer) << line;
    ASSERT_TRUE(answer->contains("error")) << answer->dump();
    EXPECT_THAT((*answer)["error"].get<std::string>(), HasSubstr(why)) << line;
    EXPECT_EQ((*answer)["line"], line_number - 1) << line;
  }
  auto too_long = server->ReadJson(5s);
  ASSERT_TRUE(too_long);
  EXPECT_THAT((*too_long)["error"].get<std::string>(), HasSubstr("longer than"));
  EXPECT_EQ((*too_long)["line"], long_line);

  // Still serving, and nothing was armed by the refused lines: the ticker starts from 0 now.
  server->Write(R"({"call":"StartRun"})");
  EXPECT_EQ(server->ReadJson(5s), (Json{{"return", "StartRun"}, {"instance", "1"}}));
  auto tick = server->ReadJson(5s);
  ASSERT_TRUE(tick);
  EXPECT_EQ((*tick)["index"], 0);
}

TEST(Serve, EndOfInputReleasesEverythingAndExitsZero) {
  const auto chain = MakeChain("eof");
  auto server = Serve();
  server->Write(StartServerLine("1", "2026-03-08", chain.settings_string, 20).dump());
  server->Write(R"({"call":"StartRun","instance":"2"})");
  // The last line may lack its line break.
  server->Write(R"({"call":"StartRun","instance":"3"})", false);
  server->CloseInput();
  ASSERT_TRUE(server->ReadJsonUntil(
      [](const Json& j) { return j.value("return", "") == "StartRun" && j["instance"] == "3"; },
      5s));
  EXPECT_EQ(server->WaitForExit(10s), 0);
}

TEST(Serve, SigtermSigintAndSighupEndItWithExitZero) {
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    auto server = Serve();
    server->Write(R"({"call":"StartRun"})");
    ASSERT_TRUE(server->ReadJsonUntil(IsEvent("WorkProcess"), 5s));
    kill(server->pid(), signal_number);
    EXPECT_EQ(server->WaitForExit(10s), 0) << signal_number;
  }
}

// Fills the program's output pipe through a second write end of it, so that from the start
// there is no room for a single event.
void FillOutputPipe(ServerProcess& server) {
  const std::string self = "/proc/self/fd/" + std::to_string(server.output_fd());
  const int writer = open(self.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  const std::string block(4096, 'x');
  while (write(writer, block.data(), block.size()) > 0) {
  }
  EXPECT_EQ(errno, EAGAIN);
  close(writer);
}

// True once the program has read everything written to its input.
bool InputConsumed(ServerProcess& server, std::chrono::milliseconds limit) {
  const auto deadline = ServerProcess::Clock::now() + limit;
  int unread = 1;
  while (ioctl(server.input_fd(), FIONREAD, &unread) == 0 && unread > 0 &&
         ServerProcess::Clock::now() < deadline) {
    std::this_thread::yield();
  }
  return unread == 0;
}

TEST(Serve, ItEndsWithinTwoSecondsWhenNobodyReadsItsOutput) {
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP, 0}) {
    SCOPED_TRACE(signal_number);
    auto server = Serve();
    server->StopReadingOutput();
    FillOutputPipe(*server);
    // Each line is answered, and the ticker raises an event every 10 ms: none has room.
    server->Write(R"({"call":"StartRun","instance":"1"})");
    server->Write(R"({"call":"StartRun","instance":"2"})");
    ASSERT_TRUE(InputConsumed(*server, 5s));
    const auto start = ServerProcess::Clock::now();
    if (signal_number != 0) {
      kill(server->pid(), signal_number);
    } else {
      server->CloseInput();
    }
    EXPECT_EQ(server->WaitForExit(2s), 0);
    EXPECT_LT(ServerProcess::Clock::now() - start, 2s);
  }
}

TEST(Serve, AHostThatStopsReadingEndsTheServer) {
  auto server = Serve();
  server->Write(R"({"call":"StartRun"})");
  ASSERT_TRUE(server->ReadJsonUntil(IsEvent("WorkProcess"), 5s));
  server->CloseOutput();
  EXPECT_EQ(server->WaitForExit(10s), 1);
  EXPECT_THAT(server->error_output(), HasSubstr("standard output is closed"));
}

TEST(Serve, DiagnosticsNameTheFailureButNeverThePassword) {
  auto server = Serve({"--log-level", "debug"});
  const std::string settings = "sqlite:/dev/null/none｜clerk｜Pa55-secret｜HQ";
  server->Write(StartServerLine("1", 46089, settings, 20).dump());
  ASSERT_TRUE(server->ReadJson(5s));
  // No summary can come of it, but give the job time for a few runs.
  EXPECT_FALSE(server->ReadJsonUntil(IsEvent("ServerStart"), 300ms));
  server->CloseInput();
  EXPECT_EQ(server->WaitForExit(10s), 0);
  EXPECT_FALSE(server->error_output().empty());
  EXPECT_THAT(server->error_output(), Not(HasSubstr("Pa55-secret")));
}

TEST(Serve, StatusAnswersWithEachJobsStateAndRefusesAnUnknownInstance) {
  auto server = Serve();
  server->Write(R"({"call":"Status","instance":"shop"})");
  EXPECT_EQ(server->ReadJson(5s), (Json{{"error", "there is no instance \"shop\""}, {"line", 1}}));

  server->Write(R"({"call":"StartRun","instance":"shop"})");
  const std::string settings = "sqlite:/dev/null/none｜clerk｜Pa55-secret｜HQ";
  server->Write(StartServerLine("shop", "2026-03-08", settings, 20).dump());
  auto is_status = [](const Json& j) { return j.value("return", "") == "Status"; };
  std::optional<Json> status;
  // Asked once a tick until the summary has run (it fails at once); every answer is one line.
  for (int asked = 0; asked < 1000; ++asked) {
    server->Write(R"({"call":"Status","instance":"shop"})");
    status = server->ReadJsonUntil(is_status, 5s);
    ASSERT_TRUE(status);
    if ((*status)["jobs"][0]["runs"].get<int>() > 0) break;
    ASSERT_TRUE(server->ReadJsonUntil(IsEvent("WorkProcess", "shop"), 5s));
  }
  ASSERT_GT((*status)["jobs"][0]["runs"].get<int>(), 0);
  const Json& jobs = (*status)["jobs"];
  ASSERT_EQ(jobs.size(), 4u);
  EXPECT_EQ((*status)["instance"], "shop");
  EXPECT_THAT((*status)["at"].get<std::string>(),
              ::testing::MatchesRegex(
                  R"([0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z)"));

  const Json& summary = jobs[0];
  EXPECT_EQ(summary["job"], "daily summary job");
  EXPECT_EQ(summary["timer"], "oTimer");
  EXPECT_EQ(summary["period_ms"], 20);
  EXPECT_EQ(summary["last_run"]["event_raised"], false);
  EXPECT_EQ(summary["last_failure"]["class"], "database");
  EXPECT_THAT(summary["last_failure"]["message"].get<std::string>(),
              HasSubstr("open the connection failed"));
  EXPECT_THAT(status->dump(), Not(HasSubstr("Pa55-secret")));

  EXPECT_EQ(jobs[1]["job"], "refresh job");
  EXPECT_EQ(jobs[1]["armed"], false);
  EXPECT_TRUE(jobs[1]["last_run"].is_null());
  EXPECT_FALSE(jobs[1].contains("due_in_ms"));

  const Json& ticker = jobs[2];
  EXPECT_EQ(ticker["event"], "WorkProcess");
  EXPECT_EQ(ticker["period_ms"], 10);
  EXPECT_GT(ticker["runs"].get<int>(), 0);
  EXPECT_EQ(ticker["last_run"]["event_raised"], true);

  const Json& reminder = jobs[3];
  EXPECT_EQ(reminder["armed"], true);
  EXPECT_GT(reminder["due_in_ms"].get<int>(), 50000);
  EXPECT_LE(reminder["due_in_ms"].get<int>(), 60000);
}

TEST(Serve, OdbcDriverOptionChoosesTheDriver) {
  // The SQLite ODBC driver stands in for a SQL Server driver: it opens the sample file, and
  // then refuses the T-SQL, which shows whose driver ran.
  const auto chain = MakeChain("odbc");
  const std::string settings =
      "not-embedded｜｜｜" + (chain.dir / (chain.main_database + ".db")).string();
  auto server = Serve({"--log-level", "warning", "--odbc-driver", RILO_SQLITE_ODBC_DRIVER});
  server->Write(StartServerLine("1", 46089, settings, 20).dump());
  ASSERT_TRUE(server->ReadJson(5s));
  EXPECT_FALSE(server->ReadJsonUntil(IsEvent("ServerStart"), 300ms));
  server->CloseInput();
  EXPECT_EQ(server->WaitForExit(10s), 0);
  EXPECT_THAT(server->error_output(), HasSubstr("[SQLite]"));
  EXPECT_THAT(server->error_output(), Not(HasSubstr("FreeTDS")));

  const auto missing = testing::RunToEnd({"serve", "--odbc-driver", "/nowhere/libdriver.so"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_THAT(missing.err, HasSubstr("/nowhere/libdriver.so"));
}

TEST(Serve, UnknownLogLevelIsAUsageError) {
  const auto finished = testing::RunToEnd({"serve", "--log-level", "loud"});
  EXPECT_EQ(finished.exit_code, 2);
  EXPECT_THAT(finished.err, HasSubstr("--log-level"));
}

}  // namespace
}  // namespace rilo::host
