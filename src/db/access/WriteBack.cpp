#include "db/access/WriteBack.h"

#include "db/sql/Names.h"
#include "db/sql/OuterSelect.h"
#include "db/sql/Tokenizer.h"

namespace rilo::db {
namespace {

// How the FROM clause names `table`, when it names it exactly once.
std::optional<std::string> QualifierOf(const sql::OuterSelect& select, std::string_view table) {
  std::optional<std::string> found;
  for (const sql::TableReference& reference : select.tables) {
    if (!sql::SameName(reference.table, table)) continue;
    if (found) return std::nullopt;  // a self-join: which row would it be?
    found = reference.qualifier;
  }
  return found;
}

}  // namespace

WriteBackPlan PlanWriteBack(Session& session, std::string_view sql) {
  WriteBackPlan plan;
  plan.sql = std::string(sql);
  plan.columns = session.Describe(sql);
  plan.visible_columns = plan.columns.size();
  plan.table_of_column.assign(plan.columns.size(), std::nullopt);

  const sql::Tokens tokens = sql::Tokenize(sql);
  const auto select = sql::ReadOuterSelect(tokens);
  if (!select || select->aggregates_rows) return plan;

  std::vector<std::string> key_items;
  for (std::size_t i = 0; i < plan.columns.size(); ++i) {
    const std::string& base = plan.columns[i].base_table;
    if (base.empty() || plan.columns[i].base_column.empty()) continue;

    std::size_t index = 0;
    while (index < plan.tables.size() && !sql::SameName(plan.tables[index].table, base)) ++index;
    if (index == plan.tables.size()) {
      KeyedTable keyed{base, {}, {}};
      if (const auto qualifier = QualifierOf(*select, base)) {
        keyed.key_columns = session.PrimaryKeyColumns(base);
        for (const std::string& key : keyed.key_columns) {
          key_items.push_back(*qualifier + "." + sql::BracketName(key));
          keyed.key_positions.push_back(plan.visible_columns + key_items.size() - 1);
        }
      }
      plan.tables.push_back(std::move(keyed));
    }
    if (!plan.tables[index].key_columns.empty()) plan.table_of_column[i] = index;
  }
  if (!key_items.empty()) plan.sql = sql::AppendToSelectList(sql, key_items);
  return plan;
}

RowUpdate BuildRowUpdate(const KeyedTable& table, const std::vector<Value>& key_values,
                         const std::vector<ColumnChange>& changes) {
  RowUpdate update;
  update.sql = "UPDATE " + sql::BracketName(table.table) + " SET ";
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (i > 0) update.sql += ", ";
    update.sql += sql::BracketName(changes[i].column) + " = ?";
    update.params.push_back(changes[i].written);
  }
  update.sql += " WHERE ";
  for (std::size_t i = 0; i < table.key_columns.size(); ++i) {
    if (i > 0) update.sql += " AND ";
    update.sql += sql::BracketName(table.key_columns[i]) + " = ?";
    update.params.push_back(key_values[i]);
  }
  for (const ColumnChange& change : changes) {
    update.sql += " AND " + sql::BracketName(change.column);
    if (IsNull(change.read)) {
      update.sql += " IS NULL";
    } else {
      update.sql += change.compares_as_datetime ? " = CAST(? AS datetime)" : " = ?";
      update.params.push_back(change.read);
    }
  }
  return update;
}

}  // namespace rilo::db
