#include "db/odbc/OdbcText.h"

#include <algorithm>

#include "db/odbc/Utf16.h"

namespace rilo::db::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's 16-bit SQLWCHAR is assumed");

WideText::WideText(std::string_view utf8) {
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  units_.assign(utf16.begin(), utf16.end());
  units_.push_back(0);
}

std::string FromWide(const SQLWCHAR* text, std::size_t units) {
  return Utf16ToUtf8(std::u16string(text, text + units));
}

std::string FromWideTerminated(const SQLWCHAR* text, std::size_t units) {
  return FromWide(text, static_cast<std::size_t>(std::find(text, text + units, 0) - text));
}

}  // namespace rilo::db::odbc
