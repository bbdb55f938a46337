#include "db/access/OffThreadSession.h"

#include "db/BlockingCall.h"

namespace rilo::db {

OffThreadSession::~OffThreadSession() {
  try {
    RunBlocking([this] { engine_.reset(); });
  } catch (...) {
    // Handing over failed (no memory for the call): close here rather than leak.
  }
  engine_.reset();
}

void OffThreadSession::Execute(std::string_view sql) {
  RunBlocking([&] { engine_->Execute(sql); });
}

ResultSet OffThreadSession::Query(std::string_view sql) {
  return RunBlocking([&] { return engine_->Query(sql); });
}

std::vector<ColumnInfo> OffThreadSession::Describe(std::string_view sql) {
  return RunBlocking([&] { return engine_->Describe(sql); });
}

std::int64_t OffThreadSession::ExecuteWithParams(std::string_view sql,
                                                 std::span<const Value> params) {
  return RunBlocking([&] { return engine_->ExecuteWithParams(sql, params); });
}

std::vector<std::string> OffThreadSession::PrimaryKeyColumns(std::string_view table) {
  return RunBlocking([&] { return engine_->PrimaryKeyColumns(table); });
}

void OffThreadSession::BeginTransaction() {
  RunBlocking([&] { engine_->BeginTransaction(); });
}

void OffThreadSession::Commit() {
  RunBlocking([&] { engine_->Commit(); });
}

void OffThreadSession::Rollback() {
  RunBlocking([&] { engine_->Rollback(); });
}

}  // namespace rilo::db
