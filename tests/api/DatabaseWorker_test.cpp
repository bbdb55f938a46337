// A started server thread on the real clock: a database call made inside one of its messages
// runs on its worker, and the thread serves other calls while the statement waits on a lock.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "component/ServerContext.h"
#include "db/Utf8Path.h"
#include "db/access/Connection.h"
#include "db/access/StatementHook.h"
#include "rilo/ServerThread.h"

namespace rilo {
namespace {

using namespace std::chrono_literals;

TEST(ServerThread, ServesOtherCallsWhileAStatementOfItsOwnWaitsForALock) {
  const auto dir = std::filesystem::path(RILO_TEST_TMPDIR) /
                   ("worker-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  sqlite3* other = nullptr;  // another client of the file, holding its write lock
  ASSERT_EQ(sqlite3_open(rilo::db::PathToUtf8(dir / "D.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "PRAGMA journal_mode=WAL; CREATE TABLE t(a); BEGIN EXCLUSIVE",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);

  auto thread = ServerThread::Start();
  std::promise<void> sent;
  db::ScopedStatementHook hook(thread->context().session_options->statement_hook,
                               [&](db::StatementKind kind, std::string_view) {
                                 if (kind == db::StatementKind::kExecute) sent.set_value();
                               });
  std::thread writer([&] {
    EXPECT_NO_THROW(thread->Invoke([&] {
      db::Connection connection(thread->context().session_options);
      connection.Open("Data Source=sqlite:" + dir.string() + ";Database=D");
      connection.Execute("INSERT INTO t VALUES (1)");
      connection.Close();
    }));
  });
  ASSERT_EQ(sent.get_future().wait_for(10s), std::future_status::ready);
  bool served = false;
  thread->Invoke([&] { served = true; });  // while the insert still waits
  EXPECT_TRUE(served);
  EXPECT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  writer.join();

  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(other, "SELECT count(*) FROM t", -1, &count, nullptr);
  ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(count, 0), 1);
  sqlite3_finalize(count);
  sqlite3_close(other);
  thread.reset();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace rilo
