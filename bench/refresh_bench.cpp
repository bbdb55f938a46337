// Master-data refresh on the embedded engine against raw SQLite doing the same delete-and-copy
// through an attached database, in the same run.
//
//   refresh_bench [rows]      (default 200000)
//
// The engine's run is timed on a virtual clock, so its 80 pauses of 1 ms (2 while linking,
// 78 in the batch) cost no wall time and are reported separately; one run on the real clock
// shows the whole.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/Instance.h"
#include "db/ModSQL.h"
#include "db/StoreTables.h"
#include "refresh/RefreshMasterData.h"
#include "rilo/Clock.h"
#include "rilo/SampleChain.h"
#include "rilo/ServerThread.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* kStore = "中心店";

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
}

void Exec(sqlite3* db, const std::string& sql) {
  Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
}

std::vector<std::string> Split(std::string_view columns) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t comma; (comma = columns.find(',', start)) != std::string_view::npos;
       start = comma + 1) {
    out.emplace_back(columns.substr(start, comma - start));
  }
  out.emplace_back(columns.substr(start));
  return out;
}

// Share of the rows per table, roughly as a chain's head office holds them.
int Weight(std::string_view table) {
  if (table == "产品信息") return 30;
  if (table == "服务信息") return 20;
  if (table == "员工信息" || table == "计次信息" || table == "服务折扣") return 10;
  if (table == "会员等级" || table == "用户信息") return 5;
  return 1;
}

// Fills the main database's master tables with `total` rows; returns how many rows a refresh
// for kStore copies.
long FillMain(const fs::path& file, long total) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(file.c_str(), &db), db, "open main");
  Exec(db, "BEGIN");
  int weights = 0;
  for (const auto& t : rilo::db::MasterTablesInCopyOrder()) weights += Weight(t.name);
  long written = 0, copied = 0;
  const auto tables = rilo::db::MasterTablesInCopyOrder();
  for (std::size_t k = 0; k < tables.size(); ++k) {
    const auto& t = tables[k];
    const long rows = k + 1 == tables.size() ? total - written : total * Weight(t.name) / weights;
    const auto columns = Split(t.columns);
    std::string sql =
        "INSERT INTO " + std::string(t.name) + "(" + std::string(t.columns) + ") VALUES (?";
    for (std::size_t i = 1; i < columns.size(); ++i) sql += ",?";
    sql += ")";
    sqlite3_stmt* stmt = nullptr;
    Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), db, sql.c_str());
    for (long id = 1; id <= rows; ++id) {
      sqlite3_bind_int64(stmt, 1, id);
      for (std::size_t i = 1; i < columns.size(); ++i) {
        std::string value;
        if (columns[i] == "所属分店") {
          static const char* kStores[] = {"全部分店", kStore, "东城店", "Riverside"};
          value = kStores[id % 4];
        } else {
          value = columns[i] + std::to_string(id);
        }
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), value.c_str(), -1, SQLITE_TRANSIENT);
      }
      Check(sqlite3_step(stmt), db, "insert");
      sqlite3_reset(stmt);
      const bool kept = !t.filtered_by_store || id % 4 < 2;
      copied += kept ? 1 : 0;
    }
    sqlite3_finalize(stmt);
    written += rows;
  }
  Exec(db, "COMMIT");
  sqlite3_close(db);
  return copied;
}

double RawRefresh(const fs::path& local, const fs::path& main) {
  const auto start = Clock::now();
  sqlite3* db = nullptr;
  Check(sqlite3_open(local.c_str(), &db), db, "open local");
  Exec(db, "ATTACH DATABASE '" + main.string() + "' AS hq");
  Exec(db, "BEGIN");
  for (auto table : rilo::db::MasterTablesInDeletionOrder()) {
    Exec(db, "DELETE FROM " + std::string(table));
  }
  for (const auto& t : rilo::db::MasterTablesInCopyOrder()) {
    std::string sql = "INSERT INTO " + std::string(t.name) + "(" + std::string(t.columns) +
                      ") SELECT " + std::string(t.columns) + " FROM hq." + std::string(t.name);
    if (t.filtered_by_store) {
      sql += std::string(" WHERE 所属分店='全部分店' or 所属分店 = '") + kStore + "'";
    }
    Exec(db, sql);
  }
  Exec(db, "COMMIT");
  sqlite3_close(db);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double EngineRefresh(const std::string& settings, std::shared_ptr<rilo::Clock> clock,
                     std::chrono::nanoseconds* pauses) {
  // Attached: the refresh runs on this thread.
  const auto thread = rilo::ServerThread::Attach({std::move(clock), nullptr});
  auto self = rilo::component::Instance::Create(thread->context(), {});
  rilo::db::SetAllSettings(self->settings(), settings);
  const auto virtual_start = thread->clock().Now();
  bool ok = false, done = false;
  double seconds = 0;
  // Inside the loop, as a job runs: its database calls go to the server thread's worker.
  thread->context().loop.Post([&] {
    const auto start = Clock::now();
    ok = rilo::refresh::RefreshMasterData(*self, kStore);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    done = true;
  });
  thread->RunUntil([&] { return done; }, std::chrono::hours(1));
  if (pauses) *pauses = thread->clock().Now() - virtual_start;
  if (!ok) throw std::runtime_error("the refresh failed");
  return seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const long total = argc > 1 ? std::atol(argv[1]) : 200000;
  const fs::path dir = fs::temp_directory_path() / ("refresh_bench_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  try {
    rilo::schema::CreateEmptyStoreDatabase(dir / "HQ.db", true);
    rilo::schema::CreateEmptyStoreDatabase(dir / "Store.db", true);
    const long copied = FillMain(dir / "HQ.db", total);
    const std::string source = "sqlite:" + dir.string();
    const std::string sep = "\xEF\xBD\x9C";
    const std::string settings =
        source + sep + sep + sep + "HQ" + sep + source + sep + sep + sep + "Store";

    std::vector<double> raw, engine;
    std::chrono::nanoseconds pauses{};
    RawRefresh(dir / "Store.db", dir / "HQ.db");  // warm the page cache
    EngineRefresh(settings, std::make_shared<rilo::VirtualClock>(), nullptr);
    for (int i = 0; i < 7; ++i) {
      raw.push_back(RawRefresh(dir / "Store.db", dir / "HQ.db"));
      engine.push_back(EngineRefresh(settings, std::make_shared<rilo::VirtualClock>(), &pauses));
    }
    const double whole = EngineRefresh(settings, rilo::MakeSteadyClock(), nullptr);

    const double raw_s = Median(raw), engine_s = Median(engine);
    std::printf("rows in the main master tables: %ld, rows copied (store %s): %ld\n", total, kStore,
                copied);
    std::printf("raw SQLite, attached database:  %8.1f ms  %9.0f rows/s\n", raw_s * 1e3,
                copied / raw_s);
    std::printf("engine, RefreshMasterData:      %8.1f ms  %9.0f rows/s  (%.2fx raw)\n",
                engine_s * 1e3, copied / engine_s, raw_s / engine_s);
    std::printf("pauses of the run (not in the engine time above): %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(pauses).count()));
    std::printf("engine on the real clock, pauses included: %8.1f ms\n", whole * 1e3);
    std::printf("best of 7: raw %.1f ms, engine %.1f ms (%.2fx)\n",
                *std::min_element(raw.begin(), raw.end()) * 1e3,
                *std::min_element(engine.begin(), engine.end()) * 1e3,
                *std::min_element(raw.begin(), raw.end()) /
                    *std::min_element(engine.begin(), engine.end()));
    std::printf("(times are medians of 7 runs each, alternating)\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "refresh_bench: %s\n", e.what());
    fs::remove_all(dir);
    return 1;
  }
  fs::remove_all(dir);
  return 0;
}
