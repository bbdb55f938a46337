// UTF-8 <-> UTF-16, the two encodings that meet at the wide ODBC calls.
#pragma once

#include <string>
#include <string_view>

namespace rilo::db::odbc {

/// Throws DbError(kUsage) for text that is not well-formed UTF-8: sending a guess to the
/// server could change what a statement means.
std::u16string Utf8ToUtf16(std::string_view utf8);

/// What comes back from a driver is never refused: an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace rilo::db::odbc
