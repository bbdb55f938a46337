// The 22 store tables with their columns: the one list that both DDL generators and the sample
// data work from.
#pragma once

#include <string_view>
#include <vector>

namespace rilo::schema {

/// What a column holds; each engine maps the category to its own column type.
enum class ColumnType {
  kKey,       // the identity ID
  kText,      // a short name, number or code
  kLongText,  // remarks, addresses, message texts
  kMoney,     // an exact amount with two decimals
  kRate,      // an exact ratio: discounts, commissions
  kInteger,
  kFlag,  // yes or no
  kDateTime,
  kTime,  // a time of day without a date
};

struct Column {
  std::string_view name;
  ColumnType type;
  /// NOT NULL DEFAULT 0, for a number the server compares with 0.
  bool zero_by_default = false;
};

struct StoreTable {
  std::string_view name;
  std::vector<Column> columns;  // ID first; a master table's in the order of its copy list
  bool master = false;          // one of the 19 tables the refresh copies
};

/// The 19 master tables in copy order, then 销售详情, 会员记录 and 服务预约.
const std::vector<StoreTable>& StoreTableCatalogue();

/// The table of that name; throws std::out_of_range for a name not in the catalogue.
const StoreTable& FindStoreTable(std::string_view name);

}  // namespace rilo::schema
