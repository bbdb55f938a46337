#include "api/DiagnosticLine.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace rilo::api {
namespace {

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view key) {
  if (text.size() - pos < key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[pos + i])) != key[i]) return false;
  }
  return true;
}

bool IsKeyCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// End of a value that starts at `pos`: a braced value runs to its closing brace ("}}" is an
// escaped brace); any other to the next ';' or the end.
std::size_t ValueEnd(std::string_view text, std::size_t pos) {
  if (pos < text.size() && text[pos] == '{') {
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
      if (text[i] != '}') continue;
      if (i + 1 < text.size() && text[i + 1] == '}') {
        ++i;
        continue;
      }
      return i + 1;
    }
    return text.size();
  }
  auto end = text.find(';', pos);
  return end == std::string_view::npos ? text.size() : end;
}

}  // namespace

std::string_view LogLevelName(LogLevel level) {
  switch (level) {
    case LogLevel::kOff:
      return "off";
    case LogLevel::kError:
      return "error";
    case LogLevel::kWarning:
      return "warning";
    case LogLevel::kInfo:
      return "info";
    case LogLevel::kDebug:
      return "debug";
  }
  return "unknown";
}

std::string RedactPasswords(std::string_view text) {
  static constexpr std::array<std::string_view, 2> kKeys = {"pwd=", "password="};
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const bool at_key_start = i == 0 || !IsKeyCharacter(text[i - 1]);
    auto key = std::find_if(kKeys.begin(), kKeys.end(), [&](std::string_view k) {
      return at_key_start && StartsWithNoCase(text, i, k);
    });
    if (key == kKeys.end()) {
      out += text[i++];
      continue;
    }
    out.append(text.substr(i, key->size()));
    out += "***";
    i = ValueEnd(text, i + key->size());
  }
  return out;
}

std::string FormatDiagnosticLine(LogLevel level, std::string_view where, std::string_view message) {
  std::string line = "[";
  line += LogLevelName(level);
  line += "] ";
  line += RedactPasswords(where);
  line += ": ";
  line += RedactPasswords(message);
  return line;
}

}  // namespace rilo::api
