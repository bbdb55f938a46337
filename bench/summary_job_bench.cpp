// The daily summary over a large sales table: the job on the embedded engine against the best
// plan raw SQLite reaches for the same sums, in the same run.
//
//   summary_job_bench [repetitions]
//
// The database (1,000,000 sales rows: 20 categories, 30 days, 5 stores) is made once under the
// build's test-tmp folder and reused. Numbers are wall-clock milliseconds, median of the
// repetitions. The job's 1 ms pauses are measured apart: on the virtual clock they cost no
// real time, so that figure is the job's own work (three queries, the texts, the yields);
// the real-clock run adds the pauses.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/Instance.h"
#include "jobs/DailySummaryJob.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/SampleChain.h"
#include "rilo/ServerThread.h"
#include "rilo/automation.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSalesRows = 1'000'000;
constexpr int kDays = 30;
constexpr const char* kBusinessDate = "2026-03-08";
constexpr const char* kStore = "中心店";
const std::vector<std::string> kStores = {"中心店", "Riverside", "东城店", "西湖店", "North"};

std::vector<std::string> Categories() {
  std::vector<std::string> names = {
      "Facial",   "Body care", "Nails/Hands", "面部护理", "身体护理", "美甲",      "美睫",
      "头皮护理", "SPA",       "足疗",        "Massage",  "Waxing",   "祛痘",      "补水",
      "美白",     "Hair cut",  "染发",        "烫发",     "纹绣",     "Men's care"};
  return names;
}

struct Db {
  sqlite3* handle = nullptr;
  explicit Db(const std::filesystem::path& file) {
    if (sqlite3_open(file.c_str(), &handle) != SQLITE_OK) throw std::runtime_error("open");
  }
  ~Db() { sqlite3_close(handle); }
  void Exec(const std::string& sql) const {
    char* error = nullptr;
    if (sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error(message);
    }
  }
};

std::string DayText(int day_offset) {
  // Days counting back from the business date.
  const auto date = *rilo::ParseAutomationDate(kBusinessDate) - day_offset;
  return rilo::FormatDate(date);
}

void Generate(const std::filesystem::path& file) {
  std::filesystem::remove(file);
  rilo::schema::CreateEmptyStoreDatabase(file, false);
  Db db(file);
  db.Exec("BEGIN");
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db.handle, "INSERT INTO 服务类别(服务类别) VALUES(?)", -1, &stmt, nullptr);
  for (const auto& name : Categories()) {
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);

  std::mt19937 random(20260308);
  const auto categories = Categories();
  const char* kinds[] = {"销售服务", "销售服务", "销售计次", "销售商品", "销售商品"};
  std::vector<std::string> days;
  for (int d = 0; d < kDays; ++d) days.push_back(DayText(d));
  sqlite3_prepare_v2(db.handle,
                     "INSERT INTO 销售详情(销售类型,项目类型,售价,消费日期,所属分店) "
                     "VALUES(?,?,?,?,?)",
                     -1, &stmt, nullptr);
  for (int i = 0; i < kSalesRows; ++i) {
    const std::string kind = kinds[random() % 5];
    const std::string item =
        kind == "销售商品" ? "Product " + std::to_string(random() % 50) : categories[random() % 20];
    const double price = static_cast<double>(random() % 100000) / 100.0;
    char when[32];
    const auto hour = static_cast<unsigned>(9 + random() % 12);
    const auto minute = static_cast<unsigned>(random() % 60);
    const auto second = static_cast<unsigned>(random() % 60);
    std::snprintf(when, sizeof when, "%s %02u:%02u:%02u", days[random() % kDays].c_str(), hour,
                  minute, second);
    const std::string& store = kStores[random() % kStores.size()];
    sqlite3_bind_text(stmt, 1, kind.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, item.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(stmt, 3, price);
    sqlite3_bind_text(stmt, 4, when, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 5, store.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);

  sqlite3_prepare_v2(db.handle,
                     "INSERT INTO 会员记录(操作类型,消费金额,办理日期,所属分店) VALUES(?,?,?,?)",
                     -1, &stmt, nullptr);
  for (int i = 0; i < 50'000; ++i) {
    const char* kind = random() % 2 ? "会员办卡" : "会员续卡";
    const std::string when = days[random() % kDays] + " 10:00:00";
    sqlite3_bind_text(stmt, 1, kind, -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(stmt, 2, static_cast<double>(random() % 500000) / 100.0);
    sqlite3_bind_text(stmt, 3, when.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 4, kStores[random() % kStores.size()].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  db.Exec("COMMIT");
  db.Exec("ANALYZE");
}

bool Ready(const std::filesystem::path& file) {
  if (!std::filesystem::exists(file)) return false;
  Db db(file);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db.handle, "SELECT count(*) FROM 销售详情", -1, &stmt, nullptr) !=
      SQLITE_OK) {
    return false;
  }
  const bool ok = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == kSalesRows;
  sqlite3_finalize(stmt);
  return ok;
}

// The same sums as the job's summary and membership queries, in SQLite's own words.
std::vector<std::string> RawQueries(bool use_index) {
  std::string summary = "SELECT ";
  for (const auto& name : Categories()) {
    std::string literal;
    for (char c : name) literal += c == '\'' ? std::string("''") : std::string(1, c);
    summary += "sum(CASE WHEN (销售类型='销售服务' OR 销售类型='销售计次') AND 项目类型='" +
               literal + "' THEN 售价 ELSE 0 END),";
  }
  const std::string by = use_index ? "" : " NOT INDEXED";
  const std::string where = std::string(" WHERE 所属分店='") + kStore +
                            "' AND substr(消费日期,1,10)='" + kBusinessDate + "'";
  summary += "sum(CASE WHEN 销售类型='销售商品' THEN 售价 ELSE 0 END) FROM 销售详情" + by + where;
  std::string membership =
      "SELECT sum(CASE WHEN 操作类型='会员办卡' THEN 消费金额 ELSE 0 END),"
      "sum(CASE WHEN 操作类型='会员续卡' THEN 消费金额 ELSE 0 END) FROM 会员记录" +
      by + " WHERE 所属分店='" + kStore + "' AND substr(办理日期,1,10)='" + kBusinessDate + "'";
  return {"SELECT 服务类别 FROM 服务类别 ORDER BY ID", summary, membership};
}

double RawRun(const std::filesystem::path& file, const std::vector<std::string>& queries) {
  Db db(file);
  const auto start = Clock::now();
  for (const auto& sql : queries) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.handle, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db.handle));
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) sqlite3_column_double(stmt, i);
    }
    sqlite3_finalize(stmt);
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct CountingListener : rilo::ClsRiloSeverEvents {
  void ServerStart(std::string& str) override { last = str; }
  std::string last;
};

// One job run on `thread`, timed on the wall clock from the server thread.
// An attached thread runs it inside its loop, as a timer would, so that the database calls go
// to the server thread's worker there too.
// `on_worker` false runs it outside the loop on an attached thread, where the calls stay on the
// calling thread: the difference is the cost of handing them over.
double JobRun(rilo::ServerThread& thread, const std::string& settings, std::string& text,
              bool on_worker = true) {
  double ms = 0;
  bool done = false;
  const auto run = [&](const std::function<void()>& job) {
    if (thread.IsCurrent() && on_worker) {
      thread.context().loop.Post([&] {
        job();
        done = true;
      });
      thread.RunUntil([&] { return done; }, std::chrono::hours(1));
    } else {
      thread.Invoke(job);
    }
  };
  run([&] {
    auto listener = std::make_shared<CountingListener>();
    auto instance = rilo::component::Instance::Create(thread.context(), {});
    instance->Connect(listener);
    instance->StartServer(*rilo::ParseAutomationDate(kBusinessDate), kStore, settings, 0);
    const auto start = Clock::now();
    rilo::jobs::RunDailySummaryJob(*instance);
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    text = listener->last;
    instance->ReleaseFromHost();
  });
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const auto dir = std::filesystem::path(RILO_TEST_TMPDIR) / "summary-bench";
  std::filesystem::create_directories(dir);
  const auto file = dir / "HQ.db";
  if (!Ready(file)) {
    std::printf("making %d sales rows in %s ...\n", kSalesRows, file.c_str());
    Generate(file);
  }
  const std::string settings = "sqlite:" + dir.string() + "｜｜｜HQ";

  std::vector<double> raw_index, raw_scan, job_virtual, job_inline, job_real;
  std::string text;
  auto virtual_thread = rilo::ServerThread::Attach({std::make_shared<rilo::VirtualClock>(), {}});
  auto real_thread = rilo::ServerThread::Start();
  RawRun(file, RawQueries(true));  // warm the page cache
  for (int i = 0; i < repetitions; ++i) {
    raw_index.push_back(RawRun(file, RawQueries(true)));
    job_virtual.push_back(JobRun(*virtual_thread, settings, text));
    job_inline.push_back(JobRun(*virtual_thread, settings, text, false));
  }
  for (int i = 0; i < std::min(repetitions, 5); ++i) {
    raw_scan.push_back(RawRun(file, RawQueries(false)));
    job_real.push_back(JobRun(*real_thread, settings, text));
  }

  // What an index that also holds the summed columns would give: no table row is visited.
  std::vector<double> raw_covering, job_covering;
  Db(file).Exec(
      "CREATE INDEX bench_covering ON 销售详情(所属分店, substr(消费日期,1,10), 销售类型, "
      "项目类型, "
      "售价)");
  for (int i = 0; i < repetitions; ++i) {
    raw_covering.push_back(RawRun(file, RawQueries(true)));
    job_covering.push_back(JobRun(*virtual_thread, settings, text));
  }
  Db(file).Exec("DROP INDEX bench_covering");

  const std::size_t pauses = Categories().size() + (Categories().size() + 1) + 2;
  std::printf("summary over %d sales rows, %zu categories, %d days, %zu stores\n", kSalesRows,
              Categories().size(), kDays, kStores.size());
  std::printf("raw SQLite, index (所属分店, substr(消费日期,1,10)): %8.2f ms\n", Median(raw_index));
  std::printf("raw SQLite, full scan (NOT INDEXED):               %8.2f ms\n", Median(raw_scan));
  std::printf(
      "job, virtual clock (pauses cost nothing):         %8.2f ms  (%.2fx the indexed raw)\n",
      Median(job_virtual), Median(job_virtual) / Median(raw_index));
  std::printf(
      "job, virtual clock, calls on the server thread:    %8.2f ms  (%.2fx the indexed raw)\n",
      Median(job_inline), Median(job_inline) / Median(raw_index));
  std::printf("job, real clock (with %zu pauses of 1 ms):          %8.2f ms  (pauses: %.2f ms)\n",
              pauses, Median(job_real), Median(job_real) - Median(job_virtual));
  std::printf("with a covering index (store, date text, kind, item, price):\n");
  std::printf("raw SQLite:                                        %8.2f ms\n",
              Median(raw_covering));
  std::printf("job, virtual clock:                                %8.2f ms  (%.2fx)\n",
              Median(job_covering), Median(job_covering) / Median(raw_covering));
  std::printf("pair list: %s\n", text.c_str());
  return text.empty() ? 1 : 0;
}
