// Keywords added to every FreeTDS connection, for servers that force encryption.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace rilo::db::odbc {

using Keywords = std::vector<std::pair<std::string, std::string>>;

/// The keywords set by SetFreeTdsKeywords.
Keywords FreeTdsExtraKeywords();

/// Throws DbError(kUsage) naming the reason when `keywords` ask for TDS 8 strict encryption,
/// which FreeTDS 1.3 (TDS 7.4 at most) cannot do.
void RefuseStrictEncryption(const Keywords& keywords);

}  // namespace rilo::db::odbc
