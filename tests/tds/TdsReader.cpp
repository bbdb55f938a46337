#include "tds/TdsReader.h"

#include "db/odbc/Utf16.h"

namespace rilo::tds {

std::span<const std::uint8_t> TdsReader::Take(std::size_t count) {
  if (count > remaining()) throw TdsProtocolError("message ends early");
  const auto out = bytes_.subspan(position_, count);
  position_ += count;
  return out;
}

std::string TdsReader::Utf16(std::size_t units) {
  const std::span<const std::uint8_t> raw = Take(units * 2);
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
  }
  return db::odbc::Utf16ToUtf8(text);
}

void TdsReader::Seek(std::size_t position) {
  if (position > bytes_.size()) throw TdsProtocolError("offset past the message");
  position_ = position;
}

std::uint64_t TdsReader::Little(int count) {
  const std::span<const std::uint8_t> raw = Take(static_cast<std::size_t>(count));
  std::uint64_t v = 0;
  for (int i = count - 1; i >= 0; --i) v = (v << 8) | raw[static_cast<std::size_t>(i)];
  return v;
}

}  // namespace rilo::tds
