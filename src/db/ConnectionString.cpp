#include "db/ConnectionString.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "db/AsciiCase.h"
#include "db/DbError.h"

namespace rilo::db {
namespace {

// Blanks around keywords and unquoted values are not part of them, so a value with such a blank
// at either end is written quoted.
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameKeyword(std::string_view a, std::string_view b) { return EqualsAsciiNoCase(a, b); }

struct Entry {
  std::string keyword;
  std::string value;
};

struct Scan {
  std::vector<Entry> entries;
  bool complete = true;
  std::size_t readable = 0;  // how much of the text was read before a fault
};

// Reads a quoted value starting at its opening quote; returns the position after the closing
// quote, or npos when the quote is never closed.
std::size_t ReadQuoted(std::string_view text, std::size_t open, std::string& value) {
  const char quote = text[open];
  std::size_t at = open + 1;
  for (;;) {
    const std::size_t close = text.find(quote, at);
    if (close == std::string_view::npos) return std::string_view::npos;
    value.append(text, at, close - at);
    if (close + 1 < text.size() && text[close + 1] == quote) {
      value += quote;
      at = close + 2;
    } else {
      return close + 1;
    }
  }
}

Scan ScanText(std::string_view text) {
  Scan scan;
  std::size_t at = 0;
  while (at < text.size()) {
    scan.readable = at;
    const std::size_t start = text.find_first_not_of(kBlanks, at);
    if (start == std::string_view::npos) break;
    if (text[start] == ';') {
      at = start + 1;
      continue;
    }
    const std::size_t equals = text.find_first_of("=;", start);
    if (equals == std::string_view::npos || text[equals] == ';') {
      scan.complete = false;
      return scan;
    }
    Entry entry;
    entry.keyword = Trim(text.substr(start, equals - start));
    std::size_t value_at = text.find_first_not_of(kBlanks, equals + 1);
    if (value_at == std::string_view::npos) value_at = text.size();
    if (value_at < text.size() && (text[value_at] == '"' || text[value_at] == '\'')) {
      const std::size_t after = ReadQuoted(text, value_at, entry.value);
      if (after == std::string_view::npos) {
        scan.complete = false;
        return scan;
      }
      at = text.find_first_not_of(kBlanks, after);
      if (at == std::string_view::npos) {
        at = text.size();
      } else if (text[at] != ';') {  // text after the closing quote
        scan.complete = false;
        return scan;
      } else {
        ++at;
      }
    } else {
      const std::size_t semicolon = std::min(text.find(';', value_at), text.size());
      const std::string_view value = Trim(text.substr(value_at, semicolon - value_at));
      entry.value = value;
      at = semicolon + 1;
    }
    scan.entries.push_back(std::move(entry));
  }
  scan.readable = text.size();
  return scan;
}

}  // namespace

ConnectionString ConnectionString::Parse(std::string_view text) {
  Scan scan = ScanText(text);
  if (!scan.complete) {
    throw DbError(DbError::Kind::kUsage,
                  "connection string cannot be read: an unterminated quote or a part without "
                  "'=' after position " +
                      std::to_string(scan.readable));
  }
  ConnectionString result;
  for (Entry& entry : scan.entries) {
    result.entries_.emplace_back(std::move(entry.keyword), std::move(entry.value));
  }
  return result;
}

std::optional<std::string> ConnectionString::Get(std::string_view keyword) const {
  const std::string_view wanted = Trim(keyword);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (SameKeyword(it->first, wanted)) return it->second;
  }
  return std::nullopt;
}

std::string QuoteConnectionValue(std::string_view value) {
  const bool has_double = value.find('"') != std::string_view::npos;
  const bool needs_quotes =
      has_double || value.find_first_of(";'") != std::string_view::npos ||
      (!value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                          kBlanks.find(value.back()) != std::string_view::npos));
  if (!needs_quotes) return std::string(value);
  const char quote = has_double ? '\'' : '"';
  std::string out(1, quote);
  for (char c : value) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

}  // namespace rilo::db
