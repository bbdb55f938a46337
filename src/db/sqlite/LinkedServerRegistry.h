// The linked servers of one engine folder. Like SQL Server's sys.servers they belong to the
// whole server, not to a connection: they live in the SQLite file DIR/.linked_servers.db, so
// a link outlives connections and processes, and every change is its own transaction.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace rilo::db::sqlite {

struct LinkedServer {
  std::string name;
  std::string product;
  std::string provider;
  std::string data_source;
};

/// A login mapping. The remote password is accepted and not kept: the embedded engine logs
/// in to nothing, and a password at rest would only be a liability.
struct LinkedLogin {
  std::string server;
  bool use_self = true;
  std::optional<std::string> local_login;  // nothing: every local login
  std::optional<std::string> remote_user;
};

class LinkedServerRegistry {
 public:
  explicit LinkedServerRegistry(const std::filesystem::path& folder);

  /// Registers `server`; throws DbError (Msg 15028) when the name (any case) is taken.
  void Add(const LinkedServer& server);
  /// Adds or replaces the mapping of login.local_login; throws DbError (Msg 15015) when the
  /// server does not exist.
  void AddLogin(const LinkedLogin& login);
  /// Removes the server; with `drop_logins` its login mappings too. Throws DbError: Msg 15015
  /// when it does not exist, Msg 15190 when it has mappings and `drop_logins` is false.
  void Drop(std::string_view name, bool drop_logins);
  /// The server of that name (any case), if registered.
  std::optional<LinkedServer> Find(std::string_view name) const;

 private:
  std::filesystem::path file_;
};

}  // namespace rilo::db::sqlite
