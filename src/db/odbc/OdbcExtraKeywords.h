// Keywords added to every FreeTDS connection, for servers that force encryption.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace rilo::db::odbc {

using Keywords = std::vector<std::pair<std::string, std::string>>;

/// KEYWORD=VALUE texts read into keywords: Encryption (off, request, require) and CAFile (a
/// file of trusted certificate authorities). Throws DbError(kUsage) for any other keyword, a
/// bad value, or strict encryption.
Keywords ReadFreeTdsKeywords(const std::vector<std::string>& assignments);

/// Throws DbError(kUsage) naming the reason when `keywords` ask for TDS 8 strict encryption,
/// which FreeTDS 1.3 (TDS 7.4 at most) cannot do.
void RefuseStrictEncryption(const Keywords& keywords);

}  // namespace rilo::db::odbc
