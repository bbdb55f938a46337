#include "db/SqlText.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace rilo::db {
namespace {

std::string Doubled(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}

// The next code point of well-formed UTF-8 (no overlongs, no surrogates), advancing `text`.
std::optional<char32_t> NextCodePoint(std::string_view& text) {
  const auto lead = static_cast<unsigned char>(text.front());
  std::size_t length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    text.remove_prefix(1);
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  text.remove_prefix(length);
  return cp;
}

struct Range {
  char32_t first;
  char32_t last;
};

// Letter blocks of the scripts that names in a store database are written in. Symbols,
// punctuation, blanks and marks of those blocks are left out: a name holding one is not plain.
constexpr std::array kLetterRanges = {
    Range{0x00C0, 0x00D6},   Range{0x00D8, 0x00F6}, Range{0x00F8, 0x024F},  // Latin
    Range{0x0370, 0x0373},   Range{0x0376, 0x0377}, Range{0x037B, 0x037D},  // Greek
    Range{0x0386, 0x0386},   Range{0x0388, 0x03FF},                         //
    Range{0x0400, 0x0481},   Range{0x048A, 0x052F},                         // Cyrillic
    Range{0x0531, 0x0556},   Range{0x0561, 0x0587},                         // Armenian
    Range{0x05D0, 0x05EA},                                                  // Hebrew
    Range{0x0620, 0x064A},   Range{0x0671, 0x06D3},                         // Arabic
    Range{0x0904, 0x0939},                                                  // Devanagari
    Range{0x0E01, 0x0E30},                                                  // Thai
    Range{0x10A0, 0x10FF},   Range{0x1100, 0x11FF},                         // Georgian, Jamo
    Range{0x1E00, 0x1FFF},                                                  // Latin, Greek ext.
    Range{0x3005, 0x3007},   Range{0x3041, 0x3096}, Range{0x30A1, 0x30FA},  // Kana
    Range{0x3105, 0x312F},   Range{0x31F0, 0x31FF},                         // Bopomofo, Kana
    Range{0x3400, 0x4DBF},   Range{0x4E00, 0x9FFF},                         // CJK ideographs
    Range{0xAC00, 0xD7A3},                                                  // Hangul
    Range{0xF900, 0xFAFF},                                                  // CJK compat.
    Range{0xFF21, 0xFF3A},   Range{0xFF41, 0xFF5A}, Range{0xFF66, 0xFF9D},  // Fullwidth
    Range{0x20000, 0x2FA1F},                                                // CJK ext.
};

bool IsLetter(char32_t cp) {
  if ((cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z')) return true;
  for (const Range& range : kLetterRanges) {
    if (cp >= range.first && cp <= range.last) return true;
  }
  return false;
}

}  // namespace

std::string EscapeLiteral(std::string_view value) { return Doubled(value, '\''); }

std::string EscapeQuotedIdentifier(std::string_view name) { return Doubled(name, '"'); }

bool IsPlainIdentifier(std::string_view name) {
  if (name.empty()) return false;
  bool first = true;
  while (!name.empty()) {
    const std::optional<char32_t> cp = NextCodePoint(name);
    if (!cp) return false;
    const bool digit = *cp >= '0' && *cp <= '9';
    if (!(IsLetter(*cp) || *cp == '_' || (digit && !first))) return false;
    first = false;
  }
  return true;
}

}  // namespace rilo::db
