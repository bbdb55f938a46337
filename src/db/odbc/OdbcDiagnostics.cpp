#include "db/odbc/OdbcDiagnostics.h"

#include <sqlext.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/PasswordMask.h"
#include "db/odbc/OdbcText.h"

namespace rilo::db::odbc {
namespace {

struct DiagnosticRecord {
  std::string sqlstate;
  long native_code = 0;
  std::string message;
};

std::vector<DiagnosticRecord> ReadRecords(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::vector<DiagnosticRecord> records;
  if (handle == SQL_NULL_HANDLE) return records;
  for (SQLSMALLINT number = 1;; ++number) {
    SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    std::vector<SQLWCHAR> message(512);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handle_type, handle, number, state, &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRecW(handle_type, handle, number, state, &native, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    const std::size_t units =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    records.push_back({FromWideTerminated(state, SQL_SQLSTATE_SIZE), native,
                       FromWideTerminated(message.data(), units)});
  }
  return records;
}

}  // namespace

DbError OdbcError(SQLSMALLINT handle_type, SQLHANDLE handle, std::string_view action,
                  std::string_view hidden) {
  const std::vector<DiagnosticRecord> records = ReadRecords(handle_type, handle);
  std::string message(action);
  message += " failed";
  if (records.empty()) {
    message += ": the driver gave no diagnostic";
    return DbError(DbError::Kind::kEngine, std::move(message));
  }
  // Informational records (class 01, e.g. "changed database context") may come before the
  // error; the error names the failure.
  const DiagnosticRecord* first_error = &records.front();
  for (const DiagnosticRecord& record : records) {
    if (!record.sqlstate.starts_with("01")) {
      first_error = &record;
      break;
    }
  }
  const char* separator = ": ";
  for (const DiagnosticRecord& record : records) {
    message += separator;
    message += "[" + record.sqlstate + "] " + record.message;
    if (record.native_code != 0) message += " (native " + std::to_string(record.native_code) + ")";
    separator = "; ";
  }
  return DbError(DbError::Kind::kEngine, MaskPasswords(message, std::span(&hidden, 1)), first_error->sqlstate,
                 first_error->native_code);
}

}  // namespace rilo::db::odbc
