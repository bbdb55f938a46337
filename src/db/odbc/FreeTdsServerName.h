// Server names as settings written for Windows clients give them, in the form FreeTDS reads.
// FreeTDS resolves "(local)" and "." as host names (and finds neither), and takes "tcp:"
// as part of the name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rilo::db::odbc {

/// A SQL Server name as clients write it: [tcp:]host[\\instance][,port].
struct ServerNameParts {
  std::string_view whole;  // without "tcp:"
  std::string_view host;
  std::optional<std::string_view> instance;  // what follows the first backslash
  std::optional<std::string_view> port;      // what follows the last comma, blanks and all
};

/// Splits `name` without checking any part: a "tcp:" prefix (any case) is dropped, the port
/// follows the last comma, the instance the first backslash.
ServerNameParts SplitServerName(std::string_view name);

struct FreeTdsServer {
  std::string server;               // host, or host\INSTANCE (found through the browser service)
  std::optional<std::string> port;  // from "host,port"; an instance is then not looked up
};

/// "(local)" and "." (alone or before "\INSTANCE") mean this machine; a "tcp:" prefix is
/// dropped; "host,port" gives the port apart. Throws DbError(kUsage) for a named-pipe or
/// shared-memory name ("np:", "lpc:") and for a port that is not one.
FreeTdsServer ReadFreeTdsServer(std::string_view name);

}  // namespace rilo::db::odbc
