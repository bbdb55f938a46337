// The reminder over a large appointment table on the embedded engine: the job end to end
// (connection, query, write-back, close), raw SQLite doing the same work by hand (open,
// query, mark one row, close), and raw SQLite running the query as the engine translates it
// now and with the date text alone, as it used to.
//
//   reminder_job_bench [repetitions, default 15] [folder, default under test-tmp]
//
// The write-back commits durably: on a slow disk its sync and the checkpoint at close take
// most of a run; a folder on tmpfs (/dev/shm) shows the engine's own share.
// The database (1,000,000 appointments over a year, 5 stores, about 100,000 still waiting for
// the business date's store) is made once under the build's test-tmp folder. Each job run
// marks one appointment, so the runs find different ones. Wall-clock milliseconds, medians.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/Instance.h"
#include "jobs/ReminderJob.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/SampleChain.h"
#include "rilo/ServerThread.h"
#include "rilo/automation.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kAppointments = 1000000;
constexpr const char* kStore = "中心店";
constexpr const char* kBusinessDate = "2026-03-08";

class Db {
 public:
  explicit Db(const std::filesystem::path& file) {
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("cannot open");
  }
  ~Db() { sqlite3_close(db_); }
  void Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error(message);
    }
  }
  // Runs `sql` to its end; the milliseconds it took.
  double Time(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    const auto start = Clock::now();
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db_));
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
    }
    sqlite3_finalize(stmt);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }

 private:
  sqlite3* db_ = nullptr;
};

void Generate(const std::filesystem::path& file) {
  rilo::schema::CreateEmptyStoreDatabase(file, false);
  Db db(file);
  db.Exec("INSERT INTO 员工信息(ID, 员工编号, 员工姓名) VALUES (1, 'A03', '王')");
  // Days from 180 before to 185 after the business date; stores, states and flags by number.
  db.Exec(
      "INSERT INTO 服务预约(顾客姓名,顾客电话,预约员工,预约项目,预约日期,所属分店,预约状态,"
      "预约提醒) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(kAppointments) +
      ") SELECT '客' || i, '138' || i, 'A03', '面部护理', "
      "strftime('%Y-%m-%d %H:%M:00', '2026-03-08', ((i * 7919) % 365 - 180) || ' days', "
      "((i * 104729) % 600 + 480) || ' minutes'), "
      "CASE i % 5 WHEN 0 THEN '中心店' WHEN 1 THEN 'Riverside' WHEN 2 THEN '东城店' "
      "WHEN 3 THEN '西城店' ELSE '北城店' END, "
      "CASE WHEN i % 10 = 9 THEN '取消' ELSE '预约' END, (i / 5) % 2 FROM n");
}

std::string ReminderWhere(bool column_bound, const char* columns = nullptr) {
  const std::string text = std::string("substr(服务预约.预约日期,1,10) >= '") + kBusinessDate + "'";
  const std::string date =
      column_bound ? "(服务预约.预约日期 >= '" + std::string(kBusinessDate) +
                         "' COLLATE BINARY AND " + text + ")"
                   : text;
  return std::string("Select ") +
         (columns ? columns
                  : "服务预约.预约提醒,服务预约.顾客姓名,服务预约.顾客电话,员工信息.员工编号,"
                    "服务预约.预约项目,服务预约.预约日期") +
         " From 服务预约 LEFT JOIN 员工信息 ON "
         "服务预约.预约员工 = 员工信息.员工编号 Where " +
         date + " and 服务预约.所属分店 = '" + kStore +
         "' and 服务预约.预约状态 ='预约' and 服务预约.预约提醒 = 0 ORDER BY 服务预约.预约日期 "
         "ASC LIMIT 1";
}

// What the job does, written by hand against SQLite: open as the engine opens, read the first
// waiting appointment, mark it (a durable commit), close (the checkpoint). The floor the job's
// own figure is to be read against.
double RawRun(const std::filesystem::path& file) {
  const auto start = Clock::now();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    throw std::runtime_error("cannot open");
  }
  sqlite3_busy_timeout(db, 5000);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(db, ReminderWhere(true, "服务预约.rowid,服务预约.顾客姓名,服务预约.顾客电话,"
                                              "员工信息.员工编号,服务预约.预约项目,服务预约.预约日期")
                             .c_str(),
                     -1, &query, nullptr);
  if (sqlite3_step(query) == SQLITE_ROW) {
    const sqlite3_int64 row = sqlite3_column_int64(query, 0);
    sqlite3_finalize(query);
    sqlite3_stmt* mark = nullptr;
    sqlite3_prepare_v2(db, "UPDATE 服务预约 SET 预约提醒 = 1 WHERE rowid = ? AND 预约提醒 = 0", -1,
                       &mark, nullptr);
    sqlite3_bind_int64(mark, 1, row);
    if (sqlite3_step(mark) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_finalize(mark);
  } else {
    sqlite3_finalize(query);
  }
  sqlite3_close(db);
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Tips : rilo::ClsRiloSeverEvents {
  void TipsStart(std::string& str) override { last = str; }
  std::string last;
};

// One job run inside the server thread's loop, where its database calls go to the worker.
double JobRun(rilo::ServerThread& thread, const std::string& settings, std::string& text) {
  double ms = 0;
  bool done = false;
  thread.context().loop.Post([&] {
    auto listener = std::make_shared<Tips>();
    auto instance = rilo::component::Instance::Create(thread.context(), {});
    instance->Connect(listener);
    instance->StartServer(*rilo::ParseAutomationDate(kBusinessDate), kStore, settings, 0);
    const auto start = Clock::now();
    rilo::jobs::RunReminderJob(*instance);
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    text = listener->last;
    instance->ReleaseFromHost();
    done = true;
  });
  thread.RunUntil([&] { return done; }, std::chrono::hours(1));
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const auto dir = argc > 2 ? std::filesystem::path(argv[2])
                            : std::filesystem::path(RILO_TEST_TMPDIR) / "reminder-bench";
  const auto file = dir / "HQ.db";
  if (!std::filesystem::exists(dir / "ready")) {
    std::printf("making %d appointments in %s ...\n", kAppointments, file.c_str());
    std::filesystem::create_directories(dir);
    Generate(file);
    std::ofstream(dir / "ready");
  }
  const std::string settings = "sqlite:" + dir.string() + "｜｜｜HQ";

  std::vector<double> text_only, bounded, raw, job;
  std::string text;
  auto thread = rilo::ServerThread::Attach({std::make_shared<rilo::VirtualClock>(), {}});
  {
    Db db(file);
    db.Time(ReminderWhere(false));  // warm the page cache
    for (int i = 0; i < repetitions; ++i) {
      text_only.push_back(db.Time(ReminderWhere(false)));
      bounded.push_back(db.Time(ReminderWhere(true)));
    }
  }
  for (int i = 0; i < repetitions; ++i) {
    raw.push_back(RawRun(file));
    job.push_back(JobRun(*thread, settings, text));
  }

  std::printf("reminder over %d appointments\n", kAppointments);
  std::printf("raw SQLite, date text alone (sorts the waiting ones): %8.3f ms\n",
              Median(text_only));
  std::printf("raw SQLite, date text and column bound (reads one):   %8.3f ms\n", Median(bounded));
  std::printf("raw SQLite end to end (open, query, mark, close):      %8.3f ms\n", Median(raw));
  std::printf("job end to end (open, query, write back, close):      %8.3f ms\n", Median(job));
  std::printf("last text: %s\n", text.c_str());
  return text.empty() ? 1 : 0;
}
