// The access layer's Connection: open a database from a connection string, run statements.
// Shaped after the few ADO operations the server's jobs use.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/DbError.h"
#include "db/Engine.h"

namespace rilo::db {

enum class CursorLocation { kUseServer = 2, kUseClient = 3 };
enum class CursorType { kForwardOnly = 0, kKeyset = 1, kDynamic = 2, kStatic = 3 };
enum class LockType { kReadOnly = 1, kPessimistic = 2, kOptimistic = 3, kBatchOptimistic = 4 };
enum class ObjectState { kClosed = 0, kOpen = 1 };
inline constexpr int kOptionUnspecified = -1;

/// Throws DbError(kUsage) unless `options` is kOptionUnspecified: the access layer has none.
void RefuseOptions(int options);

struct SessionOptions;

class Connection {
 public:
  /// Reaches SQL Server the system's default way and tells no statement hook.
  Connection();
  /// Reaches SQL Server as `options` chooses and tells its statement hook: a server thread's
  /// connections all share the thread's options.
  explicit Connection(std::shared_ptr<SessionOptions> options);
  ~Connection() noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// The location of the recordsets opened on it that set none of their own.
  void SetCursorLocation(CursorLocation location);
  CursorLocation GetCursorLocation() const { return cursor_location_; }

  /// Opens the database the connection string names. User and password, when not empty,
  /// stand in for UID and PWD. Throws DbError; the connection then stays closed.
  void Open(std::string_view connection_string, std::string_view user = {},
            std::string_view password = {}, int options = kOptionUnspecified);

  /// Runs one statement; its result, if any, is released unread.
  void Execute(std::string_view sql, int options = kOptionUnspecified);

  ObjectState State() const { return session_ ? ObjectState::kOpen : ObjectState::kClosed; }

  /// Closes an open connection; throws DbError(kUsage) when it is not open.
  void Close();

  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();

  /// The engine session of an open connection; throws DbError(kUsage) when closed.
  Session& session() const;
  /// The same, shared: a recordset holds it weakly, to write back only while it is open.
  std::shared_ptr<Session> shared_session() const;
  /// The connection string with passwords hidden, for diagnostics.
  const std::string& redacted_connection_string() const { return redacted_; }
  /// The options given at construction; null for the defaults.
  const std::shared_ptr<SessionOptions>& options() const { return options_; }

 private:
  std::shared_ptr<SessionOptions> options_;
  CursorLocation cursor_location_ = CursorLocation::kUseServer;
  std::shared_ptr<Session> session_;
  std::string redacted_;
};

}  // namespace rilo::db
