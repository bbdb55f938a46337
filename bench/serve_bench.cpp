// Real-time numbers of `rilo-server serve`, measured from outside as a host sees them:
//   - resident memory while idle with every timer armed;
//   - WorkProcess events per second reaching a consumer of stdout, for one and for ten
//     instances, with the spread of the gaps between ticks.
// Run: build/serve_bench [seconds per measurement, default 5]
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/ServerProcess.h"
#include "rilo/SampleChain.h"

namespace {

using rilo::host::testing::ServerProcess;
using Json = nlohmann::json;
using namespace std::chrono_literals;

long StatusKilobytes(pid_t pid, const std::string& key) {
  std::ifstream status(fmt::format("/proc/{}/status", pid));
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0)
      return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  }
  return -1;
}

// Reads events for `span`; returns the arrival times of WorkProcess events of `instance`
// (every instance when empty).
std::vector<ServerProcess::Clock::time_point> CollectTicks(ServerProcess& server,
                                                           std::chrono::milliseconds span,
                                                           const std::string& instance = "") {
  std::vector<ServerProcess::Clock::time_point> times;
  const auto end = ServerProcess::Clock::now() + span;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - ServerProcess::Clock::now());
    if (left.count() <= 0) break;
    auto line = server.ReadLine(left);
    if (!line) continue;
    const Json event = Json::parse(*line);
    if (event.value("event", "") == "WorkProcess" &&
        (instance.empty() || event["instance"] == instance)) {
      times.push_back(ServerProcess::Clock::now());
    }
  }
  return times;
}

void ReportRate(const std::string& label,
                const std::vector<ServerProcess::Clock::time_point>& times,
                std::chrono::milliseconds span) {
  const double rate =
      static_cast<double>(times.size()) * 1000.0 / static_cast<double>(span.count());
  std::vector<double> gaps;
  for (std::size_t i = 1; i < times.size(); ++i) {
    gaps.push_back(std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
  }
  std::sort(gaps.begin(), gaps.end());
  auto at = [&gaps](double q) {
    return gaps.empty()
               ? 0.0
               : gaps[std::min(gaps.size() - 1, static_cast<std::size_t>(q * gaps.size()))];
  };
  fmt::print("{:<44} {:8.1f} events/s   gap p50 {:5.2f} ms  p99 {:6.2f} ms  max {:6.2f} ms\n",
             label, rate, at(0.5), at(0.99), gaps.empty() ? 0.0 : gaps.back());
}

}  // namespace

int main(int argc, char** argv) {
  const auto span =
      std::chrono::milliseconds(1000 * (argc > 1 ? std::max(1, std::atoi(argv[1])) : 5));
  if (!std::filesystem::exists(RILO_SERVER_BINARY)) {
    fmt::print(stderr, "build rilo-server first: {} is missing\n", RILO_SERVER_BINARY);
    return 1;
  }
  rilo::schema::SampleChainOptions chain_options;
  chain_options.dir = std::filesystem::path(RILO_TEST_TMPDIR) / "serve_bench";
  const auto chain = rilo::schema::CreateSampleChain(chain_options);

  {
    ServerProcess server({"serve"});
    // Every timer armed: the summary and reminders every minute, one refresh, the ticker.
    server.Write(Json{
        {"call", "StartServer"},
        {"MyDate", 46089},
        {"MyDpName", "中心店"},
        {"MySetStr", chain.settings_string},
        {"StartInterval",
         60000}}.dump());
    server.Write(Json{
        {"call", "StartUpdate"},
        {"MySetStr", chain.settings_string},
        {"GetNetwork", true},
        {"MyDpName",
         "中心店"}}.dump());
    const long before_run = [&] {
      CollectTicks(server, 3000ms);  // the refresh runs at 2 s
      return StatusKilobytes(server.pid(), "VmRSS");
    }();
    server.Write(R"({"call":"StartRun"})");
    CollectTicks(server, 1000ms);
    fmt::print("idle RSS, summary/reminder armed, after refresh  {:6} kB\n", before_run);
    fmt::print("RSS with the ticker running as well               {:6} kB (peak {} kB)\n",
               StatusKilobytes(server.pid(), "VmRSS"), StatusKilobytes(server.pid(), "VmHWM"));
    ReportRate("one instance, ticker every 10 ms", CollectTicks(server, span), span);
  }
  {
    ServerProcess server({"serve"});
    for (int i = 0; i < 10; ++i)
      server.Write(fmt::format(R"({{"call":"StartRun","instance":"{}"}})", i));
    CollectTicks(server, 500ms);
    ReportRate("ten instances, all events", CollectTicks(server, span), span);
  }
  return 0;
}
