#include "db/access/Connection.h"

#include <string>
#include <utility>

#include "db/ConnectionString.h"
#include "db/PasswordMask.h"
#include "db/access/OpenSession.h"
#include "db/access/SessionOptions.h"

namespace rilo::db {
namespace {

[[noreturn]] void ThrowClosed() {
  throw DbError(DbError::Kind::kUsage, "Operation is not allowed when the object is closed.");
}

}  // namespace

void RefuseOptions(int options) {
  // Asynchronous runs and ADO's command-type hints have no counterpart in the engines.
  if (options != kOptionUnspecified) {
    throw DbError(DbError::Kind::kUsage,
                  "options " + std::to_string(options) + " are not supported");
  }
}

Connection::Connection() = default;

Connection::Connection(std::shared_ptr<SessionOptions> options) : options_(std::move(options)) {}

Connection::~Connection() noexcept = default;  // closing a session never throws

void Connection::SetCursorLocation(CursorLocation location) { cursor_location_ = location; }

void Connection::Open(std::string_view connection_string, std::string_view user,
                      std::string_view password, int options) {
  RefuseOptions(options);
  if (session_) {
    throw DbError(DbError::Kind::kUsage, "Operation is not allowed when the object is open.");
  }
  std::string text(connection_string);
  // A later keyword wins, so the arguments override what the string says.
  if (!user.empty()) text += ";UID=" + QuoteConnectionValue(user);
  if (!password.empty()) text += ";PWD=" + QuoteConnectionValue(password);
  std::string redacted = MaskPasswords(text);

  NotifyStatement(options_.get(), StatementKind::kOpen, redacted);
  session_ = OpenSession(ConnectionString::Parse(text), options_ ? options_->odbc : OdbcChoice{});
  redacted_ = std::move(redacted);
}

void Connection::Execute(std::string_view sql, int options) {
  RefuseOptions(options);
  Session& open = session();
  NotifyStatement(options_.get(), StatementKind::kExecute, sql);
  open.Execute(sql);
}

void Connection::Close() {
  if (!session_) ThrowClosed();
  session_.reset();
}

void Connection::BeginTrans() { session().BeginTransaction(); }

void Connection::CommitTrans() { session().Commit(); }

void Connection::RollbackTrans() { session().Rollback(); }

Session& Connection::session() const {
  if (!session_) ThrowClosed();
  return *session_;
}

std::shared_ptr<Session> Connection::shared_session() const {
  if (!session_) ThrowClosed();
  return session_;
}

}  // namespace rilo::db
