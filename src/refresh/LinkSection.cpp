#include "refresh/LinkSection.h"

#include <optional>
#include <string>
#include <utility>

#include "component/Instance.h"
#include "db/DbError.h"
#include "db/Engine.h"
#include "db/SqlText.h"
#include "db/Value.h"
#include "db/access/Connection.h"
#include "db/access/Recordset.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "db/sqlite/LinkedServerLock.h"
#include "db/sqlite/LinkedServerRegistry.h"
#include "refresh/LinkedServer.h"

namespace rilo::refresh {
namespace {

constexpr std::string_view kWhere = "RefreshMasterData";
constexpr std::chrono::milliseconds kRetryPause{50};

// One resource for the whole SQL Server: taken in master, whichever store database the
// session uses, since ITSV belongs to the server and not to a database.
constexpr std::string_view kResource = "N'RiloServer ITSV'";

class EmbeddedSection final : public LinkSection {
 public:
  explicit EmbeddedSection(db::sqlite::LinkedServerLock lock) : lock_(std::move(lock)) {}

 private:
  db::sqlite::LinkedServerLock lock_;
};

class SqlServerSection final : public LinkSection {
 public:
  explicit SqlServerSection(std::unique_ptr<db::Connection> connection)
      : connection_(std::move(connection)) {}
  ~SqlServerSection() override {
    // Closing the session releases the lock too; releasing first says so plainly.
    try {
      connection_->Execute(std::string("EXEC master.sys.sp_releaseapplock @Resource = ") +
                           std::string(kResource) + ", @LockOwner = N'Session'");
    } catch (...) {
    }
    try {
      connection_->Close();
    } catch (...) {
    }
  }

 private:
  std::unique_ptr<db::Connection> connection_;
};

std::unique_ptr<db::Connection> OpenLocal(component::Instance& self,
                                          const db::DbSettings& settings) {
  auto connection = std::make_unique<db::Connection>(self.context().session_options);
  connection->SetCursorLocation(db::CursorLocation::kUseClient);
  connection->Open(db::LocalConnString(settings));
  return connection;
}

// sp_getapplock's status: 0 or 1 granted, -1 busy, below that a failure.
int TryAppLock(db::Connection& connection) {
  db::Recordset result;
  result.SetCursorLocation(db::CursorLocation::kUseClient);
  result.Open(std::string("SET NOCOUNT ON; DECLARE @status int; EXEC @status = "
                          "master.sys.sp_getapplock @Resource = ") +
                  std::string(kResource) +
                  ", @LockMode = N'Exclusive', @LockOwner = N'Session', @LockTimeout = 0; "
                  "SELECT @status AS status",
              connection, db::CursorType::kStatic, db::LockType::kReadOnly);
  if (result.IsEOF()) {
    throw db::DbError(db::DbError::Kind::kEngine, "sp_getapplock gave no status");
  }
  const db::Value status = result.Item(0).GetValue();
  result.Close();
  return static_cast<int>(std::stol(db::ValueToText(status)));
}

// One try: the section, or nothing while someone else holds it. Throws on any failure.
std::unique_ptr<LinkSection> TryEnter(component::Instance& self, const db::DbSettings& settings,
                                      std::unique_ptr<db::Connection>& lock_connection) {
  if (db::IsEmbeddedDataSource(settings.LocalServer)) {
    const auto folder = db::sqlite::EmbeddedFolder(settings.LocalServer);
    if (!folder) {
      throw db::DbError(db::DbError::Kind::kEngine,
                        "the local server '" + settings.LocalServer + "' names no folder");
    }
    auto lock = db::sqlite::LinkedServerLock::TryLock(*folder);
    if (!lock) return nullptr;
    return std::make_unique<EmbeddedSection>(std::move(*lock));
  }
  if (!lock_connection) lock_connection = OpenLocal(self, settings);
  const int status = TryAppLock(*lock_connection);
  if (status == -1) return nullptr;
  if (status < 0) {
    throw db::DbError(db::DbError::Kind::kEngine,
                      "sp_getapplock refused the lock (status " + std::to_string(status) + ")");
  }
  return std::make_unique<SqlServerSection>(std::move(lock_connection));
}

}  // namespace

std::unique_ptr<LinkSection> EnterLinkSection(component::Instance& self,
                                              const db::DbSettings& settings,
                                              std::chrono::milliseconds limit) {
  const Clock& clock = self.context().loop.clock();
  const auto deadline = clock.Now() + limit;
  std::unique_ptr<db::Connection> lock_connection;
  try {
    for (;;) {
      if (auto section = TryEnter(self, settings, lock_connection)) return section;
      if (clock.Now() >= deadline) break;
      self.Yield();
      self.Sleep(kRetryPause);
    }
  } catch (const std::exception& e) {
    self.context().Log(LogLevel::kWarning, kWhere,
                       std::string("cannot take the linked-server lock of the local server: ") +
                           e.what());
    return nullptr;
  }
  self.context().Log(LogLevel::kWarning, kWhere,
                     "another refresh has held the linked server of '" + settings.LocalServer +
                         "' for " + std::to_string(limit.count() / 1000) +
                         " s; giving up without touching it");
  return nullptr;
}

void CheckLinkTarget(component::Instance& self, const db::DbSettings& settings) {
  std::optional<std::string> target;
  if (db::IsEmbeddedDataSource(settings.LocalServer)) {
    const auto folder = db::sqlite::EmbeddedFolder(settings.LocalServer);
    if (folder) {
      if (const auto server =
              db::sqlite::LinkedServerRegistry(*folder).Find(kLinkedServerName)) {
        target = server->data_source;
      }
    }
  } else {
    const auto connection = OpenLocal(self, settings);
    db::Recordset result;
    result.SetCursorLocation(db::CursorLocation::kUseClient);
    result.Open("SELECT data_source FROM sys.servers WHERE name = N'ITSV'", *connection,
                db::CursorType::kStatic, db::LockType::kReadOnly);
    if (!result.IsEOF()) target = db::ValueToText(result.Item(0).GetValue());
    result.Close();
    connection->Close();
  }
  if (!target) {
    throw db::DbError(db::DbError::Kind::kEngine, "ITSV is not registered after linking");
  }
  if (*target != settings.MainServer) {
    throw db::DbError(db::DbError::Kind::kEngine, "ITSV names '" + *target +
                                                      "', not this run's main server '" +
                                                      settings.MainServer + "'");
  }
}

}  // namespace rilo::refresh
