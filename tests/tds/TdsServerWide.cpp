#include "tds/TdsServerWide.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <string>

#include "db/DbError.h"
#include "db/Engine.h"
#include "db/sqlite/LinkedServerRegistry.h"
#include "tds/TdsColumns.h"
#include "tds/TdsErrorNumber.h"
#include "tds/TdsTokens.h"

namespace rilo::tds {
namespace {

constexpr std::uint16_t kSelectCommand = 0xC1;

struct Held {
  const void* session = nullptr;
  int count = 0;
};

// Locks by server, then by resource name.
std::mutex locks_mutex;
std::condition_variable locks_changed;
std::map<const TdsServer*, std::map<std::string, Held>> locks;

std::optional<std::string> Argument(std::string_view sql, std::string_view name) {
  const std::regex pattern(std::string(name) + R"(\s*=\s*(N?'((?:[^']|'')*)'|(-?\d+)))",
                           std::regex::icase);
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_search(sql.begin(), sql.end(), match, pattern)) return std::nullopt;
  return match[2].matched ? match[2].str() : match[3].str();
}

bool Calls(std::string_view sql, std::string_view procedure) {
  const std::regex pattern(R"(exec(ute)?\s+(@\w+\s*=\s*)?(master\.)?(sys\.|dbo\.)?)" +
                               std::string(procedure) + R"(\b)",
                           std::regex::icase);
  return std::regex_search(sql.begin(), sql.end(), pattern);
}

db::DbError ParameterError(std::string_view procedure) {
  return db::DbError(db::DbError::Kind::kEngine,
                     "Invalid parameter for " + std::string(procedure) + ".", "42000", 50000);
}

int GetAppLock(const TdsServer& server, const void* session, std::string_view sql) {
  const auto resource = Argument(sql, "@Resource");
  const auto owner = Argument(sql, "@LockOwner");
  if (!resource || !owner || *owner != "Session") throw ParameterError("sp_getapplock");
  const long timeout_ms = std::stol(Argument(sql, "@LockTimeout").value_or("-1"));
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(timeout_ms < 0 ? 60000 : timeout_ms);
  std::unique_lock lock(locks_mutex);
  Held& held = locks[&server][*resource];
  const auto free = [&] { return held.count == 0 || held.session == session; };
  if (!locks_changed.wait_until(lock, deadline, free)) return -1;
  held.session = session;
  ++held.count;
  return 0;
}

void ReleaseAppLock(const TdsServer& server, const void* session, std::string_view sql) {
  const auto resource = Argument(sql, "@Resource");
  const auto owner = Argument(sql, "@LockOwner");
  if (!resource || !owner || *owner != "Session") throw ParameterError("sp_releaseapplock");
  std::lock_guard lock(locks_mutex);
  Held& held = locks[&server][*resource];
  if (held.count == 0 || held.session != session) {
    throw db::DbError(db::DbError::Kind::kEngine,
                      "Cannot release the application lock (Database Principal: 'public', "
                      "Resource: '" + *resource + "') because it is not currently held.",
                      "42000", 1223);
  }
  if (--held.count == 0) held.session = nullptr;
  locks_changed.notify_all();
}

// sys.servers as the client made it: the test server links to itself by its engine folder,
// which the client knows by the server's address.
db::ResultSet LinkedServerSources(const TdsServer& server, std::string_view sql,
                                  const std::filesystem::path& engine_dir) {
  db::ResultSet result;
  result.columns.push_back({"data_source", "", ""});
  const auto name = Argument(sql, "name");
  if (!name) return result;
  if (const auto linked = db::sqlite::LinkedServerRegistry(engine_dir).Find(*name)) {
    const std::string own = "sqlite:" + engine_dir.string();
    result.rows.push_back({db::Value(linked->data_source == own ? server.address()
                                                                : linked->data_source)});
  }
  return result;
}

void WriteRows(TdsWriter& out, const db::ResultSet& result) {
  const std::vector<TdsColumn> columns = ColumnsFor(result);
  WriteColumnMetadata(out, columns);
  for (const auto& row : result.rows) WriteRow(out, columns, row);
  WriteDone(out, Token::kDone, done::kMore, kSelectCommand,
            static_cast<std::int64_t>(result.rows.size()));
}

}  // namespace

bool AnswerServerWide(TdsServer& server, const void* session, std::string_view sql,
                      const std::filesystem::path& engine_dir, TdsWriter& out) {
  static const std::regex servers(R"(from\s+sys\.servers\b)", std::regex::icase);
  try {
    if (Calls(sql, "sp_getapplock")) {
      db::ResultSet result;
      result.columns.push_back({"status", "", ""});
      result.rows.push_back({db::Value(std::int64_t{GetAppLock(server, session, sql)})});
      WriteRows(out, result);
    } else if (Calls(sql, "sp_releaseapplock")) {
      ReleaseAppLock(server, session, sql);
      WriteDone(out, Token::kDone, done::kMore, 0, std::nullopt);
    } else if (std::regex_search(sql.begin(), sql.end(), servers)) {
      WriteRows(out, LinkedServerSources(server, sql, engine_dir));
    } else {
      return false;
    }
  } catch (const db::DbError& error) {
    WriteMessage(out, Token::kError, ServerError(error));
    WriteDone(out, Token::kDone, static_cast<std::uint16_t>(done::kMore | done::kError), 0,
              std::nullopt);
  }
  return true;
}

SessionLocks::~SessionLocks() {
  std::lock_guard lock(locks_mutex);
  for (auto& [resource, held] : locks[&server_]) {
    if (held.session == session_) held = Held{};
  }
  locks_changed.notify_all();
}

}  // namespace rilo::tds
