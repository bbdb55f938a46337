#include "tds/TdsSqlText.h"

#include <algorithm>
#include <cstdio>
#include <regex>

#include "db/AsciiCase.h"

namespace rilo::tds {
namespace {

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '@' || c == '#' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Calls `plain(i)` for each character outside literals, quoted names and comments; it returns
// how many characters it consumed (0: copy one through).
template <typename Plain>
std::string Rewrite(std::string_view sql, Plain plain) {
  std::string out;
  std::size_t i = 0;
  const auto copy_until = [&](std::size_t end) {
    out.append(sql.substr(i, end - i));
    i = end;
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      std::size_t end = i + 1;
      for (;;) {
        end = sql.find(close, end);
        if (end == std::string_view::npos) {
          end = sql.size();
          break;
        }
        if (end + 1 < sql.size() && sql[end + 1] == close) {
          end += 2;
          continue;
        }
        ++end;
        break;
      }
      copy_until(end);
    } else if (sql.substr(i, 2) == "--") {
      const std::size_t end = sql.find('\n', i);
      copy_until(end == std::string_view::npos ? sql.size() : end);
    } else if (sql.substr(i, 2) == "/*") {
      const std::size_t end = sql.find("*/", i + 2);
      copy_until(end == std::string_view::npos ? sql.size() : end + 2);
    } else if (const std::size_t used = plain(i, out); used > 0) {
      i += used;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string Literal(const db::Value& value) {
  if (db::IsNull(value)) return "NULL";
  if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
  if (const auto* d = std::get_if<double>(&value)) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", *d);
    return buffer;
  }
  if (const auto* decimal = std::get_if<db::Decimal>(&value)) return decimal->text;
  std::string text = db::ValueToText(value);
  if (const auto* s = std::get_if<std::string>(&value)) text = *s;
  std::string quoted = "N'";
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// SQL Server 2016 and later compare a datetime column with a datetime2 parameter exactly, and
// datetime keeps 1/300 s: a millisecond that is not a multiple of ten (.003 is .00333...) never
// equals a datetime2 value. Such a value goes to the engine with datetime2's seven digits, which
// match no stored datetime text yet read back as the same millisecond.
db::Value AsCompared(const RpcParameter& parameter) {
  const auto* t = std::get_if<CalendarDateTime>(&parameter.value);
  if (!parameter.datetime2 || !t || t->millisecond % 10 == 0) return parameter.value;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d0000", t->year, t->month,
                t->day, t->hour, t->minute, t->second, t->millisecond);
  return std::string(text);
}

// Where "CAST(" ending `text` (blanks allowed) begins: where a marker is cast; npos if not.
std::size_t CastOpening(const std::string& text) {
  std::size_t end = text.find_last_not_of(" \t\r\n");
  if (end == std::string::npos || text[end] != '(' || end == 0) return std::string::npos;
  end = text.find_last_not_of(" \t\r\n", end - 1);
  if (end == std::string::npos || end < 3 || db::AsciiLower(text.substr(end - 3, 4)) != "cast" ||
      (end > 3 && IsNameChar(text[end - 4]))) {
    return std::string::npos;
  }
  return end - 3;
}

// The length of " AS datetime)" at `at`, blanks allowed; 0 when something else follows.
std::size_t AsDatetimeClosing(std::string_view sql, std::size_t at) {
  static const std::regex closing(R"(^\s+as\s+datetime\s*\))", std::regex::icase);
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_search(sql.begin() + static_cast<std::ptrdiff_t>(at), sql.end(), match,
                         closing)) {
    return 0;
  }
  return static_cast<std::size_t>(match.length(0));
}

}  // namespace

PositionalStatement ToPositional(std::string_view sql, std::string_view declarations,
                                 std::span<const RpcParameter> values) {
  std::vector<std::string> names;
  for (std::size_t at = declarations.find('@'); at != std::string_view::npos;
       at = declarations.find('@', at + 1)) {
    std::size_t end = at + 1;
    while (end < declarations.size() && IsNameChar(declarations[end])) ++end;
    names.push_back(db::AsciiLower(declarations.substr(at, end - at)));
    at = end - 1;
  }
  PositionalStatement out;
  out.sql = Rewrite(sql, [&](std::size_t i, std::string& text) -> std::size_t {
    if (sql[i] != '@' || (i > 0 && IsNameChar(sql[i - 1]))) return 0;
    std::size_t end = i + 1;
    while (end < sql.size() && IsNameChar(sql[end])) ++end;
    const std::string name = db::AsciiLower(sql.substr(i, end - i));
    const auto declared = std::ranges::find(names, name);
    if (declared == names.end()) return 0;
    const auto by_name = std::ranges::find_if(
        values, [&](const RpcParameter& p) { return db::AsciiLower(p.name) == name; });
    const auto position = static_cast<std::size_t>(declared - names.begin());
    const RpcParameter* parameter = by_name != values.end()    ? &*by_name
                                    : position < values.size() ? &values[position]
                                                               : nullptr;
    // CAST(@P AS datetime) rounds to datetime's own values, which the engine keeps as they
    // read: the marker stands alone, with the value as it was sent.
    const std::size_t closing = AsDatetimeClosing(sql, end);
    const std::size_t cast = closing > 0 ? CastOpening(text) : std::string::npos;
    if (cast != std::string::npos) {
      text.erase(cast);
      text += '?';
      out.values.push_back(parameter ? parameter->value : db::Value(db::Null{}));
      return end + closing - i;
    }
    out.values.push_back(parameter ? AsCompared(*parameter) : db::Value(db::Null{}));
    text += '?';
    return end - i;
  });
  return out;
}

std::string InlineValues(std::string_view sql, std::span<const db::Value> values) {
  std::size_t next = 0;
  return Rewrite(sql, [&](std::size_t i, std::string& text) -> std::size_t {
    if (sql[i] != '?' || next >= values.size()) return 0;
    text += Literal(values[next++]);
    return 1;
  });
}

bool HasSeveralStatements(std::string_view sql) {
  bool after_separator = false;
  bool several = false;
  Rewrite(sql, [&](std::size_t i, std::string&) -> std::size_t {
    const char c = sql[i];
    if (c == ';') {
      after_separator = true;
    } else if (after_separator && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      several = true;
    }
    return 0;
  });
  return several;
}

std::vector<std::string> SplitStatements(std::string_view sql) {
  std::vector<std::size_t> ends;
  Rewrite(sql, [&](std::size_t i, std::string&) -> std::size_t {
    if (sql[i] == ';') ends.push_back(i);
    return 0;
  });
  ends.push_back(sql.size());
  std::vector<std::string> out;
  std::size_t begin = 0;
  for (std::size_t end : ends) {
    const std::string_view piece = sql.substr(begin, end - begin);
    if (piece.find_first_not_of(" \t\r\n") != std::string_view::npos) out.emplace_back(piece);
    begin = end + 1;
  }
  return out;
}

std::size_t CountMarkers(std::string_view sql) {
  std::size_t count = 0;
  Rewrite(sql, [&](std::size_t i, std::string&) -> std::size_t {
    if (sql[i] == '?') ++count;
    return 0;
  });
  return count;
}

std::optional<bool> NoCountSetting(std::string_view sql) {
  static const std::regex set(R"(^\s*set\s+nocount\s+(on|off)\s*$)", std::regex::icase);
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_match(sql.begin(), sql.end(), match, set)) return std::nullopt;
  return db::AsciiLower(match[1].str()) == "on";
}

bool AsksRowCount(std::string_view sql) {
  static const std::regex ask(R"(^\s*select\s+@@rowcount\s*$)", std::regex::icase);
  return std::regex_match(sql.begin(), sql.end(), ask);
}

std::string LinkToSelf(std::string_view sql, std::string_view address,
                       std::string_view own_source) {
  if (!CallsProcedure(sql, "sp_addlinkedserver")) return std::string(sql);
  const std::string from = "'" + std::string(address) + "'";
  std::string to = "'";
  for (char c : own_source) {
    to += c;
    if (c == '\'') to += '\'';
  }
  to += "'";
  std::string out(sql);
  for (std::size_t at = out.find(from); at != std::string::npos;
       at = out.find(from, at + to.size())) {
    out.replace(at, from.size(), to);
  }
  return out;
}

std::optional<std::string> UsedDatabase(std::string_view sql) {
  static const std::regex use(R"(^\s*use\s+(\[([^\]]+)\]|([^\s;]+))\s*;?\s*$)", std::regex::icase);
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_match(sql.begin(), sql.end(), match, use)) return std::nullopt;
  return match[2].matched ? match[2].str() : match[3].str();
}

bool CallsProcedure(std::string_view sql, std::string_view procedure) {
  const std::regex call(
      "^\\s*exec(ute)?\\s+(\\[?dbo\\]?\\.)?\\[?" + std::string(procedure) + "\\]?(\\s|;|$)",
      std::regex::icase);
  return std::regex_search(sql.begin(), sql.end(), call);
}

void FollowIdentityInsert(std::string_view sql, std::optional<std::string>& on_table) {
  static const std::regex setting(R"(set\s+identity_insert\s+([^\s;]+)\s+(on|off)\b)",
                                  std::regex::icase);
  const std::string text(sql);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), setting);
       it != std::sregex_iterator(); ++it) {
    if (db::AsciiLower((*it)[2].str()) == "on") {
      on_table = (*it)[1].str();
    } else {
      on_table.reset();
    }
  }
}

}  // namespace rilo::tds
