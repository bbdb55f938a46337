// The store database's tables as the server names them.
#pragma once

#include <span>
#include <string_view>

namespace rilo::db {

struct MasterTable {
  std::string_view name;
  /// The exact column list of the copy, "ID,..." joined by "," without blanks.
  std::string_view columns;
  /// Copied only for rows of "全部分店" and of this store (产品信息, 服务信息).
  bool filtered_by_store;
};

/// The 19 master tables in copy order.
std::span<const MasterTable> MasterTablesInCopyOrder();

/// The 19 master table names in deletion order.
std::span<const std::string_view> MasterTablesInDeletionOrder();

/// The 所属分店 value of rows meant for every store.
inline constexpr std::string_view kAllStores = "全部分店";

}  // namespace rilo::db
