// ASCII case folding, the way SQL Server compares names and ODBC compares keywords: only A-Z and
// a-z change, so the letters of other scripts (and UTF-8 bytes) stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace rilo::db {

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return out;
}

inline std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return out;
}

}  // namespace rilo::db
