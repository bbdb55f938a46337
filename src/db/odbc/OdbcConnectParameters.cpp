#include "db/odbc/OdbcConnectParameters.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "db/ConnectionString.h"
#include "db/AsciiCase.h"
#include "db/DbError.h"
#include "db/odbc/FreeTdsServerName.h"
#include "db/odbc/OdbcChoice.h"
#include "db/odbc/OdbcExtraKeywords.h"

namespace rilo::db::odbc {
namespace {

bool OneOf(std::string_view lowered, std::initializer_list<std::string_view> names) {
  return std::ranges::find(names, lowered) != names.end();
}

// ADO keywords and the ODBC keyword each becomes.
std::string_view OdbcKeywordFor(std::string_view lowered) {
  if (OneOf(lowered, {"data source", "server", "address", "addr", "network address"})) {
    return "Server";
  }
  if (OneOf(lowered, {"database", "initial catalog"})) return "Database";
  if (OneOf(lowered, {"uid", "user id", "user"})) return "UID";
  if (OneOf(lowered, {"pwd", "password"})) return "PWD";
  if (lowered == "driver") return "Driver";
  return {};
}

// ADO's provider and pool settings mean nothing to an ODBC driver.
bool IsDropped(std::string_view lowered) {
  return OneOf(lowered,
               {"provider", "pooling", "connection lifetime", "max pool size", "min pool size"});
}

bool IsLoginTimeout(std::string_view lowered) {
  return OneOf(lowered, {"connect timeout", "connection timeout"});
}

// Keywords the driver manager acts on itself: they would load a data source or driver of their
// own, write a file or set handle attributes.
bool IsDriverManagerKeyword(std::string_view lowered) {
  return OneOf(lowered, {"dsn", "filedsn", "savefile", "dmenvattr", "dmconnattr", "dmstmtattr"});
}

bool IsPlainKeyword(std::string_view keyword) {
  return !keyword.empty() && std::ranges::all_of(keyword, [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ' ' || c == '-' || c == '.';
  });
}

bool IsFreeTds(std::string_view driver) {
  const std::string lowered = AsciiLower(driver);
  return lowered.find("tdsodbc") != std::string::npos ||
         lowered.find("freetds") != std::string::npos;
}

[[noreturn]] void Refuse(std::string message) {
  throw DbError(DbError::Kind::kUsage, std::move(message));
}

// keyword=value, the value in braces only where it would otherwise end early, start a braced
// value, or lose blanks at its ends; no value can add a keyword.
std::string Attribute(std::string_view keyword, std::string_view value, bool freetds) {
  if (value.find('\0') != std::string_view::npos) {
    Refuse("the " + std::string(keyword) + " value holds a NUL character");
  }
  const bool blank_at_end = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                               value.back() == ' ' || value.back() == '\t');
  std::string out(keyword);
  out += '=';
  if (!blank_at_end && value.find_first_of(";{}=") == std::string_view::npos) {
    out += value;
    return out;
  }
  // FreeTDS before 1.4 ends a braced value at the first '}' even when it is doubled, so the
  // rest would be read as keywords of their own.
  if (freetds && value.find('}') != std::string_view::npos) {
    Refuse("the " + std::string(keyword) +
           " value holds '}', which the FreeTDS driver cannot read; choose another value or "
           "another driver");
  }
  out += '{';
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  out += '}';
  return out;
}

SQLUINTEGER ReadLoginTimeout(std::string_view text) {
  unsigned long seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      seconds > std::numeric_limits<SQLUINTEGER>::max()) {
    Refuse("Connect Timeout must be a whole number of seconds");
  }
  return static_cast<SQLUINTEGER>(seconds);
}

// Keywords in order of first appearance, the last value of each.
class KeywordList {
 public:
  void Set(std::string keyword, std::string value) {
    const std::string lowered = AsciiLower(keyword);
    for (auto& entry : entries_) {
      if (AsciiLower(entry.first) == lowered) {
        entry.second = std::move(value);
        return;
      }
    }
    entries_.emplace_back(std::move(keyword), std::move(value));
  }
  bool Has(std::string_view keyword) const {
    const std::string lowered = AsciiLower(keyword);
    return std::ranges::any_of(entries_,
                               [&](const auto& entry) { return AsciiLower(entry.first) == lowered; });
  }
  const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace

std::string UnbracedDriverName(std::string_view name) {
  if (name.size() >= 2 && name.front() == '{' && name.back() == '}') {
    name = name.substr(1, name.size() - 2);
  }
  return std::string(name);
}

OdbcConnectParameters ReadConnectParameters(const ConnectionString& connection_string,
                                            const OdbcChoice& odbc) {
  OdbcConnectParameters parameters;
  std::optional<std::string> driver;
  std::array<std::optional<std::string>, 4> known;  // Server, Database, UID, PWD
  constexpr std::array<std::string_view, 4> kKnown = {"Server", "Database", "UID", "PWD"};
  KeywordList others;

  for (const auto& [keyword, value] : connection_string.entries()) {
    const std::string lowered = AsciiLower(keyword);
    if (IsDropped(lowered)) continue;
    if (IsLoginTimeout(lowered)) {
      parameters.login_timeout_seconds = ReadLoginTimeout(value);
      continue;
    }
    if (IsDriverManagerKeyword(lowered)) {
      Refuse("the connection string keyword " + keyword + " is not accepted");
    }
    const std::string_view odbc_keyword = OdbcKeywordFor(lowered);
    if (odbc_keyword == "Driver") {
      driver = UnbracedDriverName(value);
    } else if (!odbc_keyword.empty()) {
      const auto slot = std::ranges::find(kKnown, odbc_keyword) - kKnown.begin();
      known[static_cast<std::size_t>(slot)] = value;
    } else if (!IsPlainKeyword(keyword)) {
      Refuse("the connection string keyword '" + keyword + "' cannot be passed to a driver");
    } else {
      others.Set(keyword, value);
    }
  }

  const std::string chosen_driver = driver ? *driver : odbc.Driver();
  const bool freetds = IsFreeTds(chosen_driver);
  if (freetds) {
    for (const auto& [keyword, value] : odbc.freetds_keywords) {
      if (!others.Has(keyword)) others.Set(keyword, value);
    }
    RefuseStrictEncryption(others.entries());
  }
  std::vector<std::string> attributes;
  attributes.push_back(Attribute("Driver", chosen_driver, freetds));
  for (std::size_t i = 0; i < kKnown.size(); ++i) {
    if (!known[i]) continue;
    if (i == 0 && freetds) {
      const FreeTdsServer server = ReadFreeTdsServer(*known[i]);
      attributes.push_back(Attribute("Server", server.server, freetds));
      if (server.port && !others.Has("Port")) others.Set("Port", *server.port);
      continue;
    }
    attributes.push_back(Attribute(kKnown[i], *known[i], freetds));
  }
  const bool has_tds_version = std::ranges::any_of(
      others.entries(), [](const auto& entry) { return AsciiLower(entry.first) == "tds_version"; });
  if (freetds && !has_tds_version) attributes.emplace_back("TDS_Version=7.4");
  for (const auto& [keyword, value] : others.entries()) {
    attributes.push_back(Attribute(keyword, value, freetds));
  }

  for (const std::string& attribute : attributes) {
    if (!parameters.connection_string.empty()) parameters.connection_string += ';';
    parameters.connection_string += attribute;
  }
  parameters.server = known[0].value_or("");
  parameters.database = known[1].value_or("");
  parameters.password = known[3].value_or("");
  return parameters;
}

}  // namespace rilo::db::odbc
