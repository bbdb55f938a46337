// Owning handles for the ODBC environment, connection and statement.
#pragma once

#include <sql.h>

#include <memory>

namespace rilo::db::odbc {

struct EnvironmentFree {
  void operator()(SQLHENV handle) const noexcept;
};
struct ConnectionFree {
  void operator()(SQLHDBC handle) const noexcept;
};
struct StatementFree {
  void operator()(SQLHSTMT handle) const noexcept;
};

using EnvironmentHandle = std::unique_ptr<void, EnvironmentFree>;
/// Freeing it rolls back an open transaction and disconnects first.
using ConnectionHandle = std::unique_ptr<void, ConnectionFree>;
using StatementHandle = std::unique_ptr<void, StatementFree>;

/// An ODBC 3 environment. Throws DbError(kEngine).
EnvironmentHandle AllocateEnvironment();

/// A connection handle, not yet connected. Throws DbError(kEngine).
ConnectionHandle AllocateConnection(SQLHENV environment);

/// Throws DbError(kEngine).
StatementHandle AllocateStatement(SQLHDBC connection);

}  // namespace rilo::db::odbc
