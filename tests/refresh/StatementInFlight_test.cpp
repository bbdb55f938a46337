// A statement held up by another connection's lock: the server thread goes on serving its
// loop meanwhile. A helper thread plays the host and the other connection; it drives the
// virtual clock through host calls and waits (for real, bounded) for what the server thread
// does in answer, never for a timer.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "component/Instance.h"
#include "db/Utf8Path.h"
#include "refresh/ExpectedStatements.h"
#include "refresh/RefreshFixture.h"
#include "refresh/RefreshJob.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/JobStatus.h"
#include "support/VirtualServer.h"

namespace rilo::refresh {
namespace {

using namespace std::chrono_literals;
using rilo::testing::EventKind;
using testing::Chain;

const std::string kUnlink = "exec sp_dropserver 'ITSV' , 'droplogins'";
constexpr int kFirstDeletion = 3;  // after the two link statements

// Another connection that holds the write lock of a database file until told otherwise.
class WriteLock {
 public:
  explicit WriteLock(const std::filesystem::path& file) {
    sqlite3_open_v2(rilo::db::PathToUtf8(file).c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    // In the engine's journal mode, so that the lock keeps out writers only, as it would.
    Run("PRAGMA journal_mode=WAL");
    Run("BEGIN EXCLUSIVE");
  }
  ~WriteLock() { sqlite3_close(db_); }
  void Run(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << (error ? error : "?");
      sqlite3_free(error);
    }
  }

 private:
  sqlite3* db_ = nullptr;
};

// Counts WorkProcess events so the helper thread can wait for one.
class TickCounter {
 public:
  void Count() {
    std::lock_guard guard(mutex_);
    ++ticks_;
    changed_.notify_all();
  }
  bool AwaitAtLeast(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return ticks_ >= n; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int ticks_ = 0;
};

std::filesystem::path LocalFile(const Chain& chain) {
  return chain.dir.path() / (chain.info.local_database + ".db");
}

std::vector<std::string> OneRun(const Chain& chain) {
  std::vector<std::string> out = {
      "exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '" + chain.source() + "'",
      "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , '' , ''"};
  const auto batch = testing::ExpectedBatch("HQ", "中心店");
  out.insert(out.end(), batch.begin(), batch.end());
  out.push_back(kUnlink);
  return out;
}

TEST(StatementInFlight, TickerAndHostCallsRunWhileItWaitsAndTheRefreshIsNotNestedInItself) {
  Chain chain("in-flight");
  rilo::testing::VirtualServer server;
  auto host = server.Create();
  TickCounter ticks;
  server.listener->on_work_process = [&](std::int32_t&) { ticks.Count(); };
  auto lock = std::make_unique<WriteLock>(LocalFile(chain));

  std::promise<void> deletion_sent;
  std::chrono::milliseconds sent_at{}, next_sent_at{};
  testing::StatementLog log(server);
  log.on_execute = [&](int number, std::string_view) {
    if (number == kFirstDeletion) {
      sent_at = server.Elapsed();
      deletion_sent.set_value();
    }
    if (number == kFirstDeletion + 1) next_sent_at = server.Elapsed();
  };
  std::thread other([&] {
    ASSERT_EQ(deletion_sent.get_future().wait_for(10s), std::future_status::ready);
    for (int i = 1; i <= 3; ++i) {
      server.thread->Invoke([&] { server.clock->Advance(10ms); });
      ASSERT_TRUE(ticks.AwaitAtLeast(i));
    }
    // A host call that fails here is the host call's failure, not the waiting run's.
    host->StartServer(AutomationDate{}, "中心店", chain.settings(), -1);
    // The host asks for another refresh; its tick falls due while the first still waits.
    host->StartUpdate(chain.settings(), kVariantTrue, "中心店");
    server.thread->Invoke([&] { server.clock->Advance(2000ms); });
    ASSERT_TRUE(ticks.AwaitAtLeast(4));
    lock.reset();  // the other connection lets go
  });

  host->StartRun();
  host->StartUpdate(chain.settings(), kVariantTrue, "中心店");
  const bool both = server.RunUntil(
      [&] { return server.listener->Count(EventKind::kTipsUpdate) == 2; }, std::chrono::minutes(5));
  other.join();
  ASSERT_TRUE(both);

  // Virtual time moved only when the host moved it, and each step let the ticker tick once
  // while the statement waited.
  std::vector<std::chrono::milliseconds> ticks_meanwhile;
  for (const auto& tick : server.listener->Of(EventKind::kWorkProcess)) {
    if (tick.at > sent_at && tick.at < next_sent_at) ticks_meanwhile.push_back(tick.at - sent_at);
  }
  EXPECT_EQ(ticks_meanwhile, (std::vector<std::chrono::milliseconds>{10ms, 20ms, 30ms, 2030ms}));
  const auto tips = server.listener->Of(EventKind::kTipsUpdate);
  EXPECT_EQ(tips[0].number, kVariantTrue);
  EXPECT_EQ(tips[1].number, kVariantTrue);
  const JobStatus refresh = host->Status().Of(Job::kRefresh);
  EXPECT_EQ(refresh.runs, 2u);
  EXPECT_FALSE(refresh.last_failure) << refresh.last_failure->where << ": "
                                     << refresh.last_failure->message;
  // The second run started only after the first had ended, never inside its wait.
  std::vector<std::string> two_runs = OneRun(chain);
  const auto again = OneRun(chain);
  two_runs.insert(two_runs.end(), again.begin(), again.end());
  EXPECT_EQ(log.executed, two_runs);
}

TEST(StatementInFlight, InstanceReleasedMeanwhileFinishesTheRunAndAFailureLeavesForTheHandler) {
  Chain chain("in-flight-fails");
  rilo::testing::VirtualServer server;
  std::shared_ptr<component::Instance> instance =
      server.CreateInstance({nullptr, RunRefreshJob, nullptr});
  const std::weak_ptr<component::Instance> weak = instance;
  const auto staff = [&] {
    return testing::Rows(chain.source(), chain.info.local_database,
                         "SELECT ID, 员工姓名 FROM 员工信息 ORDER BY ID");
  };
  const auto staff_before = staff();
  auto lock = std::make_unique<WriteLock>(LocalFile(chain));

  std::promise<void> deletion_sent;
  testing::StatementLog log(server);
  log.on_execute = [&](int number, std::string_view) {
    if (number == kFirstDeletion) deletion_sent.set_value();
  };
  bool alive_after_release = false;
  std::thread other([&] {
    ASSERT_EQ(deletion_sent.get_future().wait_for(10s), std::future_status::ready);
    server.thread->Invoke([&] {
      instance->ReleaseFromHost();
      instance.reset();
      alive_after_release = !weak.expired();
    });
    // The other connection drops the table the waiting statement deletes from.
    lock->Run("DROP TABLE 产品类别");
    lock->Run("COMMIT");
  });

  instance->StartUpdate(chain.settings(), kVariantTrue, "中心店");
  const bool released = server.RunUntil([&] { return weak.expired(); }, std::chrono::minutes(5));
  other.join();
  ASSERT_TRUE(released);

  EXPECT_TRUE(alive_after_release);  // the running job held it
  // The statement failed on its way back: nothing after it ran but the handler's unlink.
  std::vector<std::string> expected = OneRun(chain);
  expected.resize(kFirstDeletion);
  expected.push_back(kUnlink);
  EXPECT_EQ(log.executed, expected);
  EXPECT_FALSE(staff_before.empty());
  EXPECT_EQ(staff(), staff_before);
  EXPECT_EQ(server.listener->Count(EventKind::kTipsUpdate), 0u);  // released: nobody to tell
}

}  // namespace
}  // namespace rilo::refresh
