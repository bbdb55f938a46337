// One client connection: login, then batches, RPC calls and transaction requests, each run on
// an embedded engine session of the database in use.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/Engine.h"
#include "db/Value.h"
#include "tds/TdsCatalog.h"
#include "tds/TdsRpc.h"
#include "tds/TdsServer.h"
#include "tds/TdsWriter.h"

namespace rilo::tds {

class TdsSession {
 public:
  TdsSession(int fd, const TdsServerOptions& options, TdsServer& server);
  /// Serves until the client leaves, the connection fails or a test drops it.
  void Run();

 private:
  struct Prepared {
    std::string sql;
    std::string declarations;
  };

  bool Login(std::span<const std::uint8_t> payload);
  void Batch(std::span<const std::uint8_t> payload, TdsWriter& out);
  void Rpc(std::span<const std::uint8_t> payload, TdsWriter& out);
  void Call(const RpcRequest& request, TdsWriter& out);
  void Transaction(std::span<const std::uint8_t> payload, TdsWriter& out);
  /// Runs the statements of a text one by one, each with its share of the values.
  void RunStatements(std::string_view sql, std::span<const db::Value> values, TdsWriter& out,
                     bool in_procedure);
  /// Runs one statement with positional values; writes its results and a DONE-type token.
  void RunStatement(std::string_view sql, std::span<const db::Value> values, TdsWriter& out,
                    bool in_procedure);
  void RunWithMarkers(const std::string& sql, const std::string& declarations,
                      std::span<const RpcParameter> values, TdsWriter& out);
  void DescribeOnly(const std::string& sql, const std::string& declarations, TdsWriter& out);
  /// A catalog procedure's result, or its failure as an error token.
  void Catalog(const std::function<CatalogResult()>& answer, TdsWriter& out);
  void OpenDatabase(const std::string& database);
  /// False when the statement must end the connection.
  bool Admit(std::string_view sql);
  bool Send(TdsWriter& out);
  /// Keeps the server's linked servers; true when it answered the statement itself (a test
  /// of a link, or a read through one whose provider this server version lacks).
  bool AnsweredAsLinkedServers(std::string_view sql, TdsWriter& out);
  /// Remembers a statement's row count for @@ROWCOUNT; the count a DONE token carries.
  std::optional<std::int64_t> Counted(std::int64_t rows);
  void WriteResult(TdsWriter& out, const db::ResultSet& result,
                   const std::vector<TdsColumn>& columns, bool in_procedure);
  void FireTrigger(std::string_view sql, TdsWriter& out);

  int fd_;
  const TdsServerOptions& options_;
  TdsServer& server_;
  std::uint32_t packet_size_ = 4096;
  std::string database_;
  std::unique_ptr<db::Session> engine_;
  std::map<std::int32_t, Prepared> prepared_;
  std::int32_t next_handle_ = 1;
  std::uint64_t transaction_ = 0;  // descriptor of the open transaction; 0 when none
  bool dropped_ = false;
  bool nocount_ = false;
  std::optional<std::string> call_identity_insert_;  // the table a procedure call left ON
  std::int64_t row_count_ = 0;  // @@ROWCOUNT
};

}  // namespace rilo::tds
