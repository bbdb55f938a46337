// The database objects of one job run of the class, used the one common way: a connection and
// a recordset of the run's own, client-side cursors, and on every path the recordset closed
// before the connection and released before it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/access/Connection.h"
#include "db/access/Recordset.h"

namespace rilo::component {
struct ServerContext;
}

namespace rilo::jobs {

/// Every operation is one step of the class's failure rule: when it fails it is reported to
/// the diagnostics under `where` and skipped, and the run goes on. Server thread only.
class JobSession {
 public:
  JobSession(const component::ServerContext& context, std::string_view where);
  /// Closes and releases whatever Finish has not.
  ~JobSession() noexcept;
  JobSession(const JobSession&) = delete;
  JobSession& operator=(const JobSession&) = delete;

  /// Creates the connection with client-side cursors and opens it with the text `connection`
  /// gives (built at this moment), an empty user, an empty password and unspecified options.
  void Connect(const std::function<std::string()>& connection);

  /// Closes the recordset if it is open, then opens the query `sql` gives (built at this
  /// moment) on the connection. The recordset is created with client-side cursors on first use.
  void Open(std::string_view step, const std::function<std::string()>& sql,
            db::CursorType cursor_type, db::LockType lock_type);

  /// True when there is no current row, and also when the test itself fails: a result that
  /// cannot be read is walked as an empty one.
  bool AtEnd();
  /// Moves to the next row; false when that failed, so a walk ends instead of spinning.
  bool MoveNext();
  /// The number of columns, 0 when it cannot be read.
  std::size_t FieldCount();

  /// The open recordset, for reading inside a step; throws db::DbError when there is none.
  db::Recordset& recordset();

  /// Closes the recordset if open, then the connection if open; releases the recordset, then
  /// the connection. Each is its own step.
  void Finish() noexcept;

 private:
  bool Step(std::string_view step, const std::function<void()>& body) noexcept;

  const component::ServerContext& context_;
  std::string where_;
  std::unique_ptr<db::Connection> connection_;
  std::unique_ptr<db::Recordset> recordset_;
  bool finished_ = false;
};

}  // namespace rilo::jobs
