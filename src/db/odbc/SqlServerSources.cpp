#include "db/odbc/SqlServerSources.h"

#include <algorithm>
#include <optional>
#include <string>

namespace rilo::db::odbc {
namespace {

std::optional<std::size_t> Position(const ResultSet& result, std::string_view name) {
  const auto found = std::ranges::find(result.columns, name, &ColumnInfo::name);
  if (found == result.columns.end()) return std::nullopt;
  return static_cast<std::size_t>(found - result.columns.begin());
}

const std::string* Text(const std::vector<Value>& row, std::size_t at) {
  return std::get_if<std::string>(&row.at(at));
}

}  // namespace

void AddServerSources(std::vector<ColumnInfo>& columns, const ResultSet& description) {
  const auto hidden = Position(description, "is_hidden");
  const auto ordinal = Position(description, "column_ordinal");
  const auto table = Position(description, "source_table");
  const auto column = Position(description, "source_column");
  if (!hidden || !ordinal || !table || !column) return;

  for (const std::vector<Value>& row : description.rows) {
    const auto* is_hidden = std::get_if<std::int64_t>(&row.at(*hidden));
    const auto* number = std::get_if<std::int64_t>(&row.at(*ordinal));
    if (!is_hidden || *is_hidden != 0 || !number || *number < 1) continue;
    const auto index = static_cast<std::size_t>(*number - 1);
    if (index >= columns.size() || !columns[index].base_table.empty()) continue;
    const std::string* source_table = Text(row, *table);
    const std::string* source_column = Text(row, *column);
    if (!source_table || !source_column || source_table->empty()) continue;
    columns[index].base_table = *source_table;
    columns[index].base_column = *source_column;
  }
}

}  // namespace rilo::db::odbc
