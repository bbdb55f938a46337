#include "db/odbc/FreeTdsServerName.h"

#include <charconv>

#include "db/AsciiCase.h"
#include "db/DbError.h"

namespace rilo::db::odbc {
namespace {

constexpr std::string_view kThisMachine = "127.0.0.1";

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

ServerNameParts SplitServerName(std::string_view name) {
  if (StartsWithAsciiNoCase(name, "tcp:")) name.remove_prefix(4);
  ServerNameParts parts;
  parts.whole = name;
  if (const std::size_t comma = name.rfind(','); comma != std::string_view::npos) {
    parts.port = name.substr(comma + 1);
    name = name.substr(0, comma);
  }
  parts.host = name;
  if (const std::size_t slash = name.find('\\'); slash != std::string_view::npos) {
    parts.host = name.substr(0, slash);
    parts.instance = name.substr(slash + 1);
  }
  return parts;
}

FreeTdsServer ReadFreeTdsServer(std::string_view name) {
  if (StartsWithAsciiNoCase(name, "np:") || StartsWithAsciiNoCase(name, "lpc:")) {
    throw DbError(DbError::Kind::kUsage,
                  "server '" + std::string(name) +
                      "' names a named pipe or shared memory, which this server cannot use; "
                      "give the host name and enable TCP/IP on the SQL Server");
  }
  const ServerNameParts parts = SplitServerName(name);
  FreeTdsServer out;
  if (parts.port) {
    const std::string_view port = Trimmed(*parts.port);
    unsigned number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || error != std::errc{} || end != port.data() + port.size() || number == 0 ||
        number > 65535) {
      throw DbError(DbError::Kind::kUsage,
                    "server '" + std::string(parts.whole) + "' has no valid port after its comma");
    }
    out.port = std::string(port);
  }
  std::string_view host = parts.host;
  if (host == "." || host == "(local)" || host == "(LOCAL)") host = kThisMachine;
  out.server = std::string(host);
  // A known port needs no instance lookup, and FreeTDS takes one or the other.
  if (!out.port && parts.instance) out.server += "\\" + std::string(*parts.instance);
  return out;
}

}  // namespace rilo::db::odbc
