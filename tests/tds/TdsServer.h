// A TDS server on a free loopback port, for the tests: it accepts FreeTDS's ODBC driver and runs
// what it receives on the embedded engine, one database file per database name.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tds/TdsCodePage.h"

namespace rilo::tds {

struct TdsServerOptions {
  /// The engine folder: database D is DIR/D.db.
  std::filesystem::path engine_dir;
  /// The one login accepted.
  std::string user = "rilo";
  std::string password = "rilo-secret";
  /// The collation of every database: the code page that '...' literals are held in.
  Collation collation = Collation::kLatin1;
  /// SERVERPROPERTY('ProductMajorVersion'): 16 is SQL Server 2022, which lacks SQLNCLI.
  int product_major_version = 15;
  /// The server's "user options" hold NOCOUNT: no statement reports its row count until the
  /// connection sets NOCOUNT OFF.
  bool user_nocount = false;
  /// An UPDATE of this table fires a trigger written without SET NOCOUNT ON: the count of
  /// the trigger's own statement (two log rows) goes out before the update's.
  std::string trigger_table;
  /// Permissions the login lacks: server-wide ones by name ("ALTER ANY LINKED SERVER"), a
  /// table's as "UPDATE 服务预约". HAS_PERMS_BY_NAME answers 0 for them, and sp_addlinkedserver
  /// is refused without ALTER ANY LINKED SERVER.
  std::vector<std::string> refused_permissions;
  /// Result columns of these names go out as money, as the store's money columns would.
  std::vector<std::string> money_columns;
  /// Called with the text of every statement before it runs; true closes the connection
  /// without an answer, as a server that went away.
  std::function<bool(std::string_view sql)> drop_connection_on;
  /// Called with the text of every statement just before it runs, e.g. to change a row as
  /// another client would between a read and a write.
  std::function<void(std::string_view sql)> before_statement;
};

class TdsServer {
 public:
  /// Listens on 127.0.0.1 at a free port; throws std::system_error when it cannot.
  explicit TdsServer(TdsServerOptions options);
  ~TdsServer();
  TdsServer(const TdsServer&) = delete;
  TdsServer& operator=(const TdsServer&) = delete;

  std::uint16_t port() const { return port_; }
  /// "127.0.0.1,<port>", the server name a connection string gives.
  std::string address() const;

  /// Closes the listener and every open connection, and waits for their threads.
  void Stop();

  /// Waits until no client connection is open (each served connection has closed its engine
  /// session), at most `limit`; false when some are still open.
  bool WaitUntilIdle(std::chrono::milliseconds limit);

  /// Every statement text received so far, in order, over all connections.
  std::vector<std::string> statements() const;
  void RecordStatement(std::string_view sql);

  /// Linked servers are the server's, not a connection's: name -> provider.
  void AddLink(const std::string& name, const std::string& provider);
  void DropLink(const std::string& name);
  std::map<std::string, std::string> links() const;

 private:
  void AcceptLoop();

  TdsServerOptions options_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::vector<int> connections_;
  std::vector<std::thread> threads_;
  std::vector<std::string> statements_;
  std::map<std::string, std::string> links_;  // upper-case name -> provider
  std::thread acceptor_;
};

}  // namespace rilo::tds
