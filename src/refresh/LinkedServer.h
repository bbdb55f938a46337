// The linked server ITSV through which the local server reads the main database during a
// refresh: created at the start of every run and dropped at its end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/ModSQL.h"
#include "refresh/LinkProvider.h"

namespace rilo::component {
class Instance;
}

namespace rilo::refresh {

inline constexpr std::string_view kLinkedServerName = "ITSV";
inline constexpr std::string_view kUnlinkStatement = "exec sp_dropserver 'ITSV' , 'droplogins'";

/// The two link statements for the main server and login of `settings`, apostrophes in
/// the values doubled so that any value stays inside its literal. The link goes through
/// `provider`, with its provider string when it has one.
std::vector<std::string> LinkStatements(const db::DbSettings& settings,
                                        const LinkProvider& provider = {"SQLOLEDB", {}});

/// Registers the main server of `settings` on their local server as ITSV, with a login
/// mapping to the main login. On SQL Server the provider suits the server's version, and
/// sp_testlinkedserver then proves the link, so a missing provider or a refused login shows
/// as a failed link. A stale ITSV (left by a run that never ended) is dropped and linked
/// afresh, so the run always reads from its own main server with its own login. Yields and
/// pauses 1 ms after each link statement. Failures end the routine quietly (described to the
/// diagnostics sink only). A refresh passes the settings it started with, so a StartUpdate
/// served at a yield cannot move it to another server.
void LinkMainServer(component::Instance& self, const db::DbSettings& settings);
/// As above, with the settings as they stand now.
void LinkMainServer(component::Instance& self);

/// Drops ITSV, with its login mappings, from the local server of `settings`. Failures end the
/// routine quietly.
void UnlinkMainServer(component::Instance& self, const db::DbSettings& settings);
/// As above, with the settings as they stand now.
void UnlinkMainServer(component::Instance& self);

}  // namespace rilo::refresh
