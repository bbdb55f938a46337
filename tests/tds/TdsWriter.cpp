#include "tds/TdsWriter.h"

#include <stdexcept>

#include "db/odbc/Utf16.h"

namespace rilo::tds {

void TdsWriter::Utf16(std::string_view utf8) {
  for (char16_t unit : db::odbc::Utf8ToUtf16(utf8)) U16(static_cast<std::uint16_t>(unit));
}

void TdsWriter::BVarchar(std::string_view utf8) {
  const std::u16string text = db::odbc::Utf8ToUtf16(utf8);
  if (text.size() > 0xFF) throw std::length_error("text too long for a one-byte length");
  U8(static_cast<std::uint8_t>(text.size()));
  for (char16_t unit : text) U16(static_cast<std::uint16_t>(unit));
}

void TdsWriter::UsVarchar(std::string_view utf8) {
  const std::u16string text = db::odbc::Utf8ToUtf16(utf8);
  if (text.size() > 0xFFFF) throw std::length_error("text too long for a two-byte length");
  U16(static_cast<std::uint16_t>(text.size()));
  for (char16_t unit : text) U16(static_cast<std::uint16_t>(unit));
}

}  // namespace rilo::tds
