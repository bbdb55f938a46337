#include "db/PasswordMask.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "db/AsciiCase.h"

namespace rilo::db {
namespace {

constexpr std::string_view kMask = "***";
constexpr std::string_view kBlanks = " \t\r\n";
constexpr auto npos = std::string_view::npos;

bool IsWordCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// Length of a password key starting at `at`, its '=' included; 0 when none starts there.
std::size_t PasswordKeyLength(std::string_view text, std::size_t at) {
  if (at > 0 && IsWordCharacter(text[at - 1])) return 0;
  static constexpr std::array<std::string_view, 2> kKeys = {"password", "pwd"};
  for (std::string_view key : kKeys) {
    if (!StartsWithAsciiNoCase(text.substr(at), key)) continue;
    const std::size_t equals = text.find_first_not_of(kBlanks, at + key.size());
    if (equals != npos && text[equals] == '=') return equals + 1 - at;
  }
  return 0;
}

bool OpensQuoted(char c) { return c == '"' || c == '\''; }

// The end of a value that opens with a quote or a brace at `at`: just after its closing
// character (doubled inside), or npos when it never closes.
std::size_t EnclosedValueEnd(std::string_view text, std::size_t at) {
  const char close = text[at] == '{' ? '}' : text[at];
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] != close) continue;
    if (i + 1 < text.size() && text[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return npos;
}

// Whether only blanks stand between `at` and the next ';' or the end.
bool EndsPart(std::string_view text, std::size_t at) {
  const std::size_t next = text.find_first_not_of(kBlanks, at);
  return next == npos || text[next] == ';';
}

std::size_t PlainValueEnd(std::string_view text, std::size_t at) {
  const std::size_t semicolon = std::min(text.find(';', at), text.size());
  if (semicolon == at) return at;
  const std::size_t last = text.find_last_not_of(kBlanks, semicolon - 1);
  return last == npos || last < at ? at : last + 1;
}

std::string MaskPasswordValues(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // Past the '=' of the current part: a further '=' belongs to the value.
  bool in_value = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (const std::size_t key = PasswordKeyLength(text, i)) {
      const std::size_t value = std::min(text.find_first_not_of(kBlanks, i + key), text.size());
      std::size_t end = PlainValueEnd(text, value);
      if (value < text.size() && OpensQuoted(text[value])) {
        end = EnclosedValueEnd(text, value);
        if (end == npos || !EndsPart(text, end)) {
          out += kMask;
          return out;
        }
      } else if (value < text.size() && text[value] == '{') {
        // Braces are ODBC's quotes; to a connection string they are plain characters. Hidden
        // to whichever reaches further.
        if (const std::size_t braced = EnclosedValueEnd(text, value); braced != npos) {
          end = std::max(end, PlainValueEnd(text, braced));
        }
      }
      out.append(text, i, value - i);
      out += kMask;
      i = end;
      in_value = true;
      continue;
    }
    const char c = text[i];
    if (c == ';') {
      in_value = false;
    } else if (c == '=' && !in_value) {
      in_value = true;
      const std::size_t value = text.find_first_not_of(kBlanks, i + 1);
      if (value != npos && OpensQuoted(text[value])) {
        const std::size_t end = EnclosedValueEnd(text, value);
        if (end != npos && EndsPart(text, end)) {
          out.append(text, i, end - i);
          i = end;
          continue;
        }
      }
    }
    out += c;
    ++i;
  }
  return out;
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

}  // namespace

std::string MaskPasswords(std::string_view text, std::span<const std::string_view> known) {
  std::string out(text);
  std::vector<std::string_view> longest_first(known.begin(), known.end());
  std::ranges::sort(longest_first, std::ranges::greater{}, &std::string_view::size);
  for (std::string_view secret : longest_first) {
    if (!secret.empty()) ReplaceAll(out, secret, kMask);
  }
  return MaskPasswordValues(out);
}

}  // namespace rilo::db
