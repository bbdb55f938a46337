#include "db/odbc/FreeTdsServerName.h"

#include <charconv>

#include "db/DbError.h"

namespace rilo::db::odbc {
namespace {

constexpr std::string_view kThisMachine = "127.0.0.1";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != prefix[i]) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

FreeTdsServer ReadFreeTdsServer(std::string_view name) {
  if (StartsWithNoCase(name, "np:") || StartsWithNoCase(name, "lpc:")) {
    throw DbError(DbError::Kind::kUsage,
                  "server '" + std::string(name) +
                      "' names a named pipe or shared memory, which this server cannot use; "
                      "give the host name and enable TCP/IP on the SQL Server");
  }
  if (StartsWithNoCase(name, "tcp:")) name.remove_prefix(4);

  FreeTdsServer out;
  if (const std::size_t comma = name.rfind(','); comma != std::string_view::npos) {
    const std::string_view port = Trimmed(name.substr(comma + 1));
    unsigned number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || error != std::errc{} || end != port.data() + port.size() || number == 0 ||
        number > 65535) {
      throw DbError(DbError::Kind::kUsage,
                    "server '" + std::string(name) + "' has no valid port after its comma");
    }
    out.port = std::string(port);
    name = name.substr(0, comma);
  }

  std::string_view host = name;
  std::string_view instance;
  if (const std::size_t slash = name.find('\\'); slash != std::string_view::npos) {
    host = name.substr(0, slash);
    instance = name.substr(slash);  // with its backslash
  }
  if (host == "." || host == "(local)" || host == "(LOCAL)") host = kThisMachine;
  out.server = std::string(host);
  // A known port needs no instance lookup, and FreeTDS takes one or the other.
  if (!out.port) out.server += instance;
  return out;
}

}  // namespace rilo::db::odbc
