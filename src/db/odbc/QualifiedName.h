// The parts of a possibly qualified, possibly quoted table name, as catalog calls want them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rilo::db::odbc {

/// "dbo.[服务 预约]" gives {"dbo", "服务 预约"}: parts split on '.' outside quotes, each
/// unquoted from [..] (']]' inside) or ".." ('""' inside). Throws DbError(kUsage) for an
/// unclosed quote or an empty part.
std::vector<std::string> SplitQualifiedName(std::string_view name);

}  // namespace rilo::db::odbc
