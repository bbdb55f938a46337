// The access layer's Recordset: a query's whole result held on the client, walked row by row,
// with write-back of a changed field to the row of its base table.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Value.h"
#include "db/access/Connection.h"

namespace rilo::db {

class Recordset;

class Field {
 public:
  const std::string& Name() const;
  const Value& GetValue() const;
  /// Holds a new value in the current row until Recordset::Update.
  void SetValue(Value v);

 private:
  friend class Recordset;
  Field(Recordset& owner, std::size_t index) : owner_(&owner), index_(index) {}
  void CheckOpen() const;
  Recordset* owner_;
  std::size_t index_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset() noexcept;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  /// Unset, the connection's location holds. Open refuses a server-side location: every
  /// result is held on the client.
  void SetCursorLocation(CursorLocation location);

  /// Runs `sql` on `active` and fetches the whole result; positioned on the first row, or at
  /// the end when there is none. With an optimistic lock the key of each row's base table is
  /// fetched alongside, unseen, so Update can find the row. Throws DbError.
  void Open(std::string_view sql, Connection& active, CursorType cursor_type, LockType lock_type,
            int options = kOptionUnspecified);

  /// True when there is no current row (also when closed: callers loop on it safely).
  bool IsEOF() const;
  void MoveNext();

  /// The number of columns; throws DbError(kUsage) when closed.
  std::size_t FieldCount() const;
  /// The field at 0-based position, or by name (case-insensitive); throws DbError(kUsage).
  Field Item(std::size_t index);
  Field Item(std::string_view name);

  /// Writes the held change of the current row to its base table: UPDATE ... WHERE key = ...
  /// AND column = <value read>. Throws DbError(kRowChanged) when that row no longer holds
  /// what was read (someone else changed it), DbError(kEngine) for an engine failure.
  void Update();

  ObjectState State() const;
  void Close();

 private:
  friend class Field;
  struct Data;
  std::unique_ptr<Data> data_;
  std::optional<CursorLocation> cursor_location_;
};

}  // namespace rilo::db
