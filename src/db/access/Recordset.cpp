#include "db/access/Recordset.h"

#include <algorithm>
#include <map>

#include "db/access/SessionOptions.h"
#include "db/access/WriteBack.h"
#include "db/access/WriteBackPlanCache.h"
#include "db/sql/Names.h"

namespace rilo::db {
namespace {

[[noreturn]] void ThrowUsage(std::string message) {
  throw DbError(DbError::Kind::kUsage, std::move(message));
}

}  // namespace

struct Recordset::Data {
  WriteBackPlan plan;
  std::vector<std::vector<Value>> rows;
  std::size_t position = 0;
  bool updatable = false;
  std::map<std::size_t, Value> pending;  // changed fields of the current row, by position
  std::weak_ptr<Session> session;        // gone once the connection closes
  std::shared_ptr<SessionOptions> options;  // the connection's, for its statement hook
  std::string connection;                // whose kept plan a schema failure drops
  std::string sql;

  bool AtEnd() const { return position >= rows.size(); }
  std::vector<Value>& Row() {
    if (AtEnd()) ThrowUsage("Either BOF or EOF is True, or the current record has been deleted.");
    return rows[position];
  }
};

Recordset::Recordset() = default;

Recordset::~Recordset() noexcept = default;

void Recordset::SetCursorLocation(CursorLocation location) { cursor_location_ = location; }

void Recordset::Open(std::string_view sql, Connection& active, CursorType cursor_type,
                     LockType lock_type, int options) {
  if (data_) ThrowUsage("Operation is not allowed when the object is open.");
  // The whole result is fetched at once: it never shows what others change later.
  if (cursor_type == CursorType::kDynamic) ThrowUsage("a dynamic cursor cannot be given");
  if (cursor_location_.value_or(active.GetCursorLocation()) != CursorLocation::kUseClient) {
    ThrowUsage("a server-side cursor cannot be given: results are held on the client");
  }
  RefuseOptions(options);
  std::shared_ptr<Session> session = active.shared_session();
  NotifyStatement(active.options().get(), StatementKind::kQuery, sql);

  auto data = std::make_unique<Data>();
  data->options = active.options();
  data->updatable = lock_type != LockType::kReadOnly;
  data->session = session;
  ResultSet result;
  if (data->updatable) {
    data->connection = active.redacted_connection_string();
    data->sql = std::string(sql);
    data->plan = CachedWriteBackPlan(*session, data->connection, sql);
    try {
      result = session->Query(data->plan.sql);
    } catch (const DbError& e) {
      ForgetWriteBackPlanOn(e, data->connection, sql);
      throw;
    }
    std::size_t key_columns = 0;
    for (const KeyedTable& table : data->plan.tables) key_columns += table.key_positions.size();
    if (result.columns.size() != data->plan.visible_columns + key_columns) {
      ForgetWriteBackPlan(data->connection, sql);
      ThrowUsage("the query returned other columns than it described");
    }
    // The engine's own names for the columns, not the description's.
    result.columns.resize(data->plan.visible_columns);
    for (std::size_t i = 0; i < result.columns.size(); ++i) {
      data->plan.columns[i].name = result.columns[i].name;
    }
  } else {
    result = session->Query(sql);
    data->plan.visible_columns = result.columns.size();
    data->plan.columns = std::move(result.columns);
    data->plan.table_of_column.assign(data->plan.visible_columns, std::nullopt);
  }
  // A statement that returns no rowset leaves the recordset closed.
  if (data->plan.visible_columns == 0) return;
  data->rows = std::move(result.rows);
  data_ = std::move(data);
}

bool Recordset::IsEOF() const { return !data_ || data_->AtEnd(); }

void Recordset::MoveNext() {
  if (!data_) ThrowUsage("Operation is not allowed when the object is closed.");
  data_->Row();  // at the end there is nowhere to move
  // Leaving a changed row writes it back first, so no change is silently lost.
  if (!data_->pending.empty()) Update();
  ++data_->position;
}

std::size_t Recordset::FieldCount() const {
  if (!data_) ThrowUsage("Operation is not allowed when the object is closed.");
  return data_->plan.visible_columns;
}

Field Recordset::Item(std::size_t index) {
  if (index >= FieldCount()) {
    ThrowUsage(
        "Item cannot be found in the collection corresponding to the requested name or "
        "ordinal.");
  }
  return Field(*this, index);
}

Field Recordset::Item(std::string_view name) {
  const std::size_t count = FieldCount();
  for (std::size_t i = 0; i < count; ++i) {
    if (sql::SameName(data_->plan.columns[i].name, name)) return Field(*this, i);
  }
  ThrowUsage(
      "Item cannot be found in the collection corresponding to the requested name or "
      "ordinal.");
}

void Recordset::Update() {
  if (!data_) ThrowUsage("Operation is not allowed when the object is closed.");
  if (data_->pending.empty()) return;
  std::vector<Value>& row = data_->Row();
  const WriteBackPlan& plan = data_->plan;

  // One UPDATE per base table, in the order of the first changed column of each.
  std::vector<std::size_t> table_order;
  for (const auto& [index, value] : data_->pending) {
    const auto table = plan.table_of_column[index];
    if (!table) {
      ThrowUsage("The field '" + plan.columns[index].name +
                 "' cannot be written back: no keyed base table row stands behind it.");
    }
    if (std::find(table_order.begin(), table_order.end(), *table) == table_order.end()) {
      table_order.push_back(*table);
    }
  }
  const std::shared_ptr<Session> session = data_->session.lock();
  if (!session) ThrowUsage("Operation is not allowed when the connection is closed.");

  for (std::size_t table_index : table_order) {
    const KeyedTable& table = plan.tables[table_index];
    std::vector<Value> key_values;
    for (std::size_t position : table.key_positions) {
      if (IsNull(row[position])) {
        ThrowUsage("No row of table '" + table.table + "' stands behind the current record.");
      }
      key_values.push_back(row[position]);
    }
    std::vector<ColumnChange> changes;
    std::vector<std::size_t> changed_fields;
    for (const auto& [index, value] : data_->pending) {
      if (plan.table_of_column[index] != table_index) continue;
      changes.push_back({plan.columns[index].base_column, row[index], value,
                         plan.columns[index].compares_as_datetime});
      changed_fields.push_back(index);
    }
    const RowUpdate update = BuildRowUpdate(table, key_values, changes);
    NotifyStatement(data_->options.get(), StatementKind::kUpdate, update.sql);
    std::int64_t rows_changed = 0;
    try {
      rows_changed = session->ExecuteWithParams(update.sql, update.params);
    } catch (const DbError& e) {
      ForgetWriteBackPlanOn(e, data_->connection, data_->sql);
      throw;
    }
    if (rows_changed != 1) {
      throw DbError(DbError::Kind::kRowChanged,
                    "Row cannot be located for updating. Some values may have been changed "
                    "since it was last read.");
    }
    // The row now holds the written values, also in other fields showing the same column.
    for (std::size_t changed : changed_fields) {
      for (std::size_t i = 0; i < plan.visible_columns; ++i) {
        if (plan.table_of_column[i] == table_index &&
            sql::SameName(plan.columns[i].base_column, plan.columns[changed].base_column)) {
          row[i] = data_->pending[changed];
        }
      }
      data_->pending.erase(changed);
    }
  }
}

ObjectState Recordset::State() const { return data_ ? ObjectState::kOpen : ObjectState::kClosed; }

void Recordset::Close() {
  if (!data_) ThrowUsage("Operation is not allowed when the object is closed.");
  data_.reset();  // unwritten changes go with it
}

void Field::CheckOpen() const {
  // The recordset may have closed or reopened with fewer columns since the field was taken.
  if (index_ >= owner_->FieldCount()) {
    ThrowUsage(
        "Item cannot be found in the collection corresponding to the requested name or "
        "ordinal.");
  }
}

const std::string& Field::Name() const {
  CheckOpen();
  return owner_->data_->plan.columns[index_].name;
}

const Value& Field::GetValue() const {
  CheckOpen();
  auto& data = *owner_->data_;
  if (const auto pending = data.pending.find(index_); pending != data.pending.end()) {
    return pending->second;
  }
  return data.Row()[index_];
}

void Field::SetValue(Value v) {
  CheckOpen();
  auto& data = *owner_->data_;
  if (!data.updatable) ThrowUsage("Current Recordset does not support updating.");
  data.Row();
  data.pending[index_] = std::move(v);
}

}  // namespace rilo::db
