#include "jobs/JobSession.h"

#include "component/FailureRule.h"
#include "component/ServerContext.h"
#include "db/DbError.h"

namespace rilo::jobs {

JobSession::JobSession(const component::ServerContext& context, std::string_view where)
    : context_(context), where_(where) {}

JobSession::~JobSession() noexcept {
  if (!finished_) Finish();
}

bool JobSession::Step(std::string_view step, const std::function<void()>& body) noexcept {
  return component::RunStep(context_, where_, step, body);
}

void JobSession::Connect(const std::function<std::string()>& connection) {
  Step("create the connection", [&] {
    auto created = std::make_unique<db::Connection>(context_.session_options);
    created->SetCursorLocation(db::CursorLocation::kUseClient);
    connection_ = std::move(created);
  });
  Step("open the connection", [&] {
    if (!connection_) throw db::DbError(db::DbError::Kind::kUsage, "no connection was created");
    connection_->Open(connection(), {}, {}, db::kOptionUnspecified);
  });
}

void JobSession::Open(std::string_view step, const std::function<std::string()>& sql,
                      db::CursorType cursor_type, db::LockType lock_type) {
  if (!recordset_) {
    Step("create the recordset", [&] {
      auto created = std::make_unique<db::Recordset>();
      created->SetCursorLocation(db::CursorLocation::kUseClient);
      recordset_ = std::move(created);
    });
  }
  Step("close the recordset", [&] {
    if (recordset_ && recordset_->State() == db::ObjectState::kOpen) recordset_->Close();
  });
  Step(step, [&] {
    if (!connection_) throw db::DbError(db::DbError::Kind::kUsage, "no connection was created");
    recordset().Open(sql(), *connection_, cursor_type, lock_type, db::kOptionUnspecified);
  });
}

bool JobSession::AtEnd() {
  bool at_end = true;
  Step("test for the end of the result", [&] { at_end = recordset().IsEOF(); });
  return at_end;
}

bool JobSession::MoveNext() {
  return Step("move to the next row", [&] { recordset().MoveNext(); });
}

std::size_t JobSession::FieldCount() {
  std::size_t count = 0;
  Step("count the fields", [&] { count = recordset().FieldCount(); });
  return count;
}

db::Recordset& JobSession::recordset() {
  if (!recordset_) throw db::DbError(db::DbError::Kind::kUsage, "no recordset was created");
  return *recordset_;
}

void JobSession::Finish() noexcept {
  finished_ = true;
  Step("close the recordset", [&] {
    if (recordset_ && recordset_->State() == db::ObjectState::kOpen) recordset_->Close();
  });
  Step("close the connection", [&] {
    if (connection_ && connection_->State() == db::ObjectState::kOpen) connection_->Close();
  });
  Step("release the recordset", [&] { recordset_.reset(); });
  Step("release the connection", [&] { connection_.reset(); });
}

}  // namespace rilo::jobs
