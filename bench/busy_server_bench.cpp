// The server under database work, measured as a host sees it, in the same run as idle:
//   1. `rilo-server serve` with the ticker on: WorkProcess per second and the longest gap
//      between two events, idle and while a refresh copies the master rows;
//   2. the same while another process holds an exclusive lock on the store database for 5 s;
//   3. in process: round trips of host calls from another thread during that refresh.
//
//   busy_server_bench [master rows, default 1000000]
//
// The data is made once under the build's test-tmp folder and reused.
#include <fmt/format.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "db/StoreTables.h"
#include "host/ServerProcess.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/SampleChain.h"
#include "rilo/ServerThread.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;
using rilo::host::testing::ServerProcess;
using namespace std::chrono_literals;

constexpr const char* kStore = "中心店";

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(message + " in: " + sql.substr(0, 120));
  }
}

// Spreads `total` rows over the master tables of the main database, every one copied by a
// refresh (the store-filtered tables hold rows for all stores).
void FillMain(const fs::path& file, long total) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  Exec(db, "BEGIN");
  const auto tables = rilo::db::MasterTablesInCopyOrder();
  const long per_table = total / static_cast<long>(tables.size());
  for (std::size_t k = 0; k < tables.size(); ++k) {
    const auto& t = tables[k];
    const long rows = k + 1 == tables.size() ? total - per_table * (tables.size() - 1) : per_table;
    std::string values = "i";
    std::string columns(t.columns);
    for (std::size_t comma = columns.find(','); comma != std::string::npos;
         comma = columns.find(',', comma + 1)) {
      const auto next = columns.find(',', comma + 1);
      const std::string name = columns.substr(comma + 1, next == std::string::npos
                                                             ? std::string::npos
                                                             : next - comma - 1);
      values += name == "所属分店" ? ", '全部分店'" : ", 'v' || i";
    }
    Exec(db, fmt::format("INSERT INTO {}({}) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT "
                         "i + 1 FROM n WHERE i < {}) SELECT {} FROM n",
                         t.name, t.columns, rows, values));
  }
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

struct Ticks {
  std::vector<Clock::time_point> times;
  Clock::time_point start, end;

  double Rate() const {
    return static_cast<double>(times.size()) /
           std::chrono::duration<double>(end - start).count();
  }
  double MaxGapMs() const {
    double gap = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
      gap = std::max(gap, std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
    }
    return gap;
  }
};

// Reads events for `span`, or until a TipsUpdate when `until_tips` (at most `span`).
Ticks Collect(ServerProcess& server, std::chrono::milliseconds span, bool until_tips,
              std::string* tips = nullptr) {
  Ticks ticks;
  ticks.start = Clock::now();
  const auto deadline = ticks.start + span;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    auto line = server.ReadLine(left);
    if (!line) continue;
    const Json event = Json::parse(*line);
    const std::string name = event.value("event", "");
    if (name == "WorkProcess") ticks.times.push_back(Clock::now());
    if (name == "TipsUpdate") {
      if (tips) *tips = event.dump();
      if (until_tips) break;
    }
  }
  ticks.end = Clock::now();
  return ticks;
}

void Report(const std::string& label, const Ticks& ticks, const Ticks& idle) {
  fmt::print("{:<52} {:6.1f} events/s ({:4.2f}x idle)  max gap {:6.1f} ms  over {:5.2f} s\n",
             label, ticks.Rate(), ticks.Rate() / idle.Rate(), ticks.MaxGapMs(),
             std::chrono::duration<double>(ticks.end - ticks.start).count());
}

// Another process takes the write lock of `file` and holds it for `hold`.
pid_t HoldLock(const fs::path& file, std::chrono::milliseconds hold) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    std::this_thread::sleep_for(hold);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    _exit(0);
  }
  return pid;
}

struct Quiet : rilo::ClsRiloSeverEvents {
  void TipsUpdate(rilo::VariantBool& Pd) override {
    result = Pd;
    done = true;
  }
  void WorkProcess(std::int32_t&) override {
    std::lock_guard guard(mutex);
    ticks.times.push_back(Clock::now());
  }
  // The ticks from now on, for `span` or until the refresh has reported.
  Ticks Collect(std::chrono::milliseconds span, bool until_done) {
    {
      std::lock_guard guard(mutex);
      ticks = Ticks{};
      ticks.start = Clock::now();
    }
    const auto end = Clock::now() + span;
    while (Clock::now() < end && !(until_done && done)) std::this_thread::sleep_for(5ms);
    std::lock_guard guard(mutex);
    ticks.end = Clock::now();
    return ticks;
  }
  std::atomic<bool> done{false};
  std::atomic<int> result{0};
  std::mutex mutex;
  Ticks ticks;
};

double Percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  if (!fs::exists(RILO_SERVER_BINARY)) {
    fmt::print(stderr, "build rilo-server first: {} is missing\n", RILO_SERVER_BINARY);
    return 1;
  }
  const fs::path dir = fs::path(RILO_TEST_TMPDIR) / fmt::format("busy-server-{}", rows);
  if (!fs::exists(dir / "ready")) {
    fmt::print("making {} master rows in {} ...\n", rows, dir.string());
    fs::remove_all(dir);
    fs::create_directories(dir);
    rilo::schema::CreateEmptyStoreDatabase(dir / "HQ.db", false);
    rilo::schema::CreateEmptyStoreDatabase(dir / "Store.db", true);
    FillMain(dir / "HQ.db", rows);
    std::ofstream(dir / "ready");
  }
  const std::string source = "sqlite:" + dir.string();
  const std::string sep = "\xEF\xBD\x9C";
  const std::string settings =
      source + sep + sep + sep + "HQ" + sep + source + sep + sep + sep + "Store";
  const Json update = {{"call", "StartUpdate"}, {"MySetStr", settings}, {"GetNetwork", true},
                       {"MyDpName", kStore}};

  {
    ServerProcess server({"serve"});
    server.Write(R"({"call":"StartRun"})");
    Collect(server, 500ms, false);
    const Ticks idle = Collect(server, 3000ms, false);
    Report("serve, idle", idle, idle);

    server.Write(update.dump());
    Collect(server, 2000ms, false);  // the refresh starts 2 s after StartUpdate
    std::string tips;
    const Ticks busy = Collect(server, 120000ms, true, &tips);
    Report(fmt::format("serve, refresh of {} rows running", rows), busy, idle);
    fmt::print("  refresh reported {}\n", tips);

    server.Write(update.dump());
    Collect(server, 1900ms, false);
    const pid_t holder = HoldLock(dir / "Store.db", 5000ms);
    const Ticks locked = Collect(server, 5000ms, false);
    Report("serve, refresh waiting 5 s on another process's lock", locked, idle);
    Collect(server, 120000ms, true, &tips);
    fmt::print("  refresh reported {}\n", tips);
    waitpid(holder, nullptr, 0);
  }

  {
    // In process: host calls from this thread while the server thread runs the refresh.
    auto thread = rilo::ServerThread::Start();
    auto server = rilo::ClsRiloSever::Create(thread);
    auto listener = std::make_shared<Quiet>();
    server->Connect(listener);
    auto other = std::make_shared<Quiet>();
    server->StartRun();
    const Ticks idle = listener->Collect(3000ms, false);
    Report("in process, idle", idle, idle);
    server->StartUpdate(settings, rilo::kVariantTrue, kStore);
    listener->Collect(2000ms, false);
    Report(fmt::format("in process, refresh of {} rows running", rows),
           listener->Collect(120000ms, true), idle);
    listener->done = false;

    std::vector<double> idle_ms, busy_ms;
    const auto round_trip = [&] {
      const auto start = Clock::now();
      server->Disconnect(server->Connect(other));  // two host calls
      return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / 2;
    };
    for (int i = 0; i < 2000; ++i) idle_ms.push_back(round_trip());
    server->StartUpdate(settings, rilo::kVariantTrue, kStore);
    while (!listener->done) busy_ms.push_back(round_trip());
    fmt::print("host call round trip, idle:            p50 {:6.3f} ms  p99 {:6.3f} ms  max {:6.3f} ms  ({} calls)\n",
               Percentile(idle_ms, 0.5), Percentile(idle_ms, 0.99), Percentile(idle_ms, 1.0),
               idle_ms.size());
    fmt::print("host call round trip, during refresh:  p50 {:6.3f} ms  p99 {:6.3f} ms  max {:6.3f} ms  ({} calls, refresh {})\n",
               Percentile(busy_ms, 0.5), Percentile(busy_ms, 0.99), Percentile(busy_ms, 1.0),
               busy_ms.size(), listener->result == rilo::kVariantTrue ? "True" : "False");
  }
  return 0;
}
