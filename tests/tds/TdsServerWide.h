// Statements about the whole test server rather than one database, answered by the server
// itself: application locks owned by a session (sp_getapplock, sp_releaseapplock) and the
// linked servers' data sources (sys.servers).
#pragma once

#include <filesystem>
#include <string_view>

#include "tds/TdsServer.h"
#include "tds/TdsWriter.h"

namespace rilo::tds {

/// When `sql` is such a statement, answers it for `session` into `out` and returns true.
/// sp_getapplock takes only @LockOwner = 'Session' and returns its status as SQL Server does
/// (0 granted, -1 not granted within @LockTimeout ms); sp_releaseapplock fails with Msg 1223
/// for a lock the session does not hold.
bool AnswerServerWide(TdsServer& server, const void* session, std::string_view sql,
                      const std::filesystem::path& engine_dir, TdsWriter& out);

/// The application locks `session` holds on `server`, given back when it ends (as SQL Server
/// does when a connection closes or its process dies).
class SessionLocks {
 public:
  SessionLocks(TdsServer& server, const void* session) : server_(server), session_(session) {}
  ~SessionLocks();
  SessionLocks(const SessionLocks&) = delete;
  SessionLocks& operator=(const SessionLocks&) = delete;

 private:
  TdsServer& server_;
  const void* session_;
};

}  // namespace rilo::tds
