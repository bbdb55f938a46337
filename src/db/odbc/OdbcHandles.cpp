#include "db/odbc/OdbcHandles.h"

#include <locale.h>
#include <sqlext.h>

#include "db/odbc/OdbcDiagnostics.h"

namespace rilo::db::odbc {
namespace {

// unixODBC fixes, per connection handle and from the calling thread's LC_CTYPE at the moment
// the handle is allocated, the narrow encoding into which it converts wide calls for a driver
// that has no wide entry points. A process that never called setlocale is in the "C" locale,
// which turns every Chinese character into '?'. Such drivers on Linux read UTF-8, so the
// handle is allocated under a UTF-8 LC_CTYPE for this thread only; the process locale, which
// belongs to the host, is left alone.
#ifdef _WIN32
// Windows' driver manager hands wide calls to drivers as UTF-16: nothing to set up.
struct ScopedUtf8CType {
  ScopedUtf8CType() {}  // user-provided, so a scope holding one is no unused variable
};
#else
class ScopedUtf8CType {
 public:
  ScopedUtf8CType() {
    if (const locale_t utf8 = Utf8Locale(); utf8 != locale_t{}) previous_ = uselocale(utf8);
  }
  ~ScopedUtf8CType() {
    if (previous_ != locale_t{}) uselocale(previous_);
  }
  ScopedUtf8CType(const ScopedUtf8CType&) = delete;
  ScopedUtf8CType& operator=(const ScopedUtf8CType&) = delete;

 private:
  // Created once and kept for the life of the process, as uselocale requires.
  static locale_t Utf8Locale() {
    static const locale_t utf8 = [] {
      locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
      return made != locale_t{} ? made : newlocale(LC_CTYPE_MASK, "C.utf8", locale_t{});
    }();
    return utf8;
  }

  locale_t previous_{};
};
#endif

}  // namespace

void EnvironmentFree::operator()(SQLHENV handle) const noexcept {
  SQLFreeHandle(SQL_HANDLE_ENV, handle);
}

void ConnectionFree::operator()(SQLHDBC handle) const noexcept {
  // A driver refuses to disconnect inside a transaction: roll it back and try again.
  if (!SQL_SUCCEEDED(SQLDisconnect(handle))) {
    SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
    SQLDisconnect(handle);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, handle);
}

void StatementFree::operator()(SQLHSTMT handle) const noexcept {
  SQLFreeHandle(SQL_HANDLE_STMT, handle);
}

EnvironmentHandle AllocateEnvironment() {
  SQLHENV raw = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &raw))) {
    throw DbError(DbError::Kind::kEngine, "allocating an ODBC environment failed");
  }
  EnvironmentHandle environment(raw);
  Check(SQLSetEnvAttr(raw, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
        SQL_HANDLE_ENV, raw, "choosing ODBC 3");
  return environment;
}

ConnectionHandle AllocateConnection(SQLHENV environment) {
  SQLHDBC raw = SQL_NULL_HDBC;
  SQLRETURN rc;
  {
    const ScopedUtf8CType utf8;
    rc = SQLAllocHandle(SQL_HANDLE_DBC, environment, &raw);
  }
  Check(rc, SQL_HANDLE_ENV, environment, "allocating an ODBC connection");
  return ConnectionHandle(raw);
}

StatementHandle AllocateStatement(SQLHDBC connection) {
  SQLHSTMT raw = SQL_NULL_HSTMT;
  Check(SQLAllocHandle(SQL_HANDLE_STMT, connection, &raw), SQL_HANDLE_DBC, connection,
        "allocating an ODBC statement");
  return StatementHandle(raw);
}

}  // namespace rilo::db::odbc
