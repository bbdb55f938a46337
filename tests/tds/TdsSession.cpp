#include "tds/TdsSession.h"

#include <sys/socket.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "db/AsciiCase.h"
#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/access/OpenSession.h"
#include "tds/TdsCatalog.h"
#include "tds/TdsCodePage.h"
#include "tds/TdsColumns.h"
#include "tds/TdsErrorNumber.h"
#include "tds/TdsLinkedServers.h"
#include "tds/TdsLogin.h"
#include "tds/TdsPacket.h"
#include "tds/TdsReader.h"
#include "tds/TdsServerProperties.h"
#include "tds/TdsServerWide.h"
#include "tds/TdsSqlText.h"
#include "tds/TdsTempTables.h"
#include "tds/TdsTokens.h"

namespace rilo::tds {
namespace {

constexpr std::uint16_t kSelectCommand = 0xC1;
constexpr long kLoginFailed = 18456;
constexpr std::uint16_t kBeginTransactionRequest = 5;
constexpr std::uint16_t kCommitRequest = 7;
constexpr std::uint16_t kRollbackRequest = 8;

TdsErrorInfo ErrorFor(const db::DbError& error) { return ServerError(error); }

TdsErrorInfo ErrorFor(const std::exception& error) {
  TdsErrorInfo info;
  info.number = 50000;
  info.message = error.what();
  return info;
}

constexpr std::uint16_t kUpdateCommand = 0xC5;

}  // namespace

TdsSession::TdsSession(int fd, const TdsServerOptions& options, TdsServer& server)
    : fd_(fd), options_(options), server_(server), nocount_(options.user_nocount) {}

std::optional<std::int64_t> TdsSession::Counted(std::int64_t rows) {
  row_count_ = rows;
  if (nocount_) return std::nullopt;
  return rows;
}

void TdsSession::WriteResult(TdsWriter& out, const db::ResultSet& result,
                             const std::vector<TdsColumn>& columns, bool in_procedure) {
  // Built apart, so a value that cannot be sent leaves no half result in the response.
  TdsWriter whole;
  WriteColumnMetadata(whole, columns);
  for (const auto& row : result.rows) WriteRow(whole, columns, row);
  out.Bytes(whole.bytes());
  WriteDone(out, in_procedure ? Token::kDoneInProc : Token::kDone, done::kMore, kSelectCommand,
            Counted(static_cast<std::int64_t>(result.rows.size())));
}

void TdsSession::FireTrigger(std::string_view sql, TdsWriter& out) {
  if (options_.trigger_table.empty()) return;
  const std::string update = "update [" + options_.trigger_table + "]";
  if (!db::StartsWithAsciiNoCase(sql, update)) return;
  // The trigger's statements run inside the update; counted unless the session says NOCOUNT.
  if (!nocount_) WriteDone(out, Token::kDoneInProc, done::kMore, kUpdateCommand, 2);
}

void TdsSession::Run() {
  const SessionLocks session_locks(server_, this);
  try {
    bool logged_in = false;
    while (!dropped_) {
      std::optional<TdsMessage> message = ReadMessage(fd_);
      if (!message) return;
      const auto type = static_cast<PacketType>(message->type);
      if (type == PacketType::kPreLogin) {
        const std::vector<std::uint8_t> reply = PreLoginReply();
        if (!WriteMessage(fd_, PacketType::kReply, reply, packet_size_)) return;
        continue;
      }
      if (type == PacketType::kLogin7) {
        logged_in = Login(message->payload);
        if (!logged_in) return;
        continue;
      }
      if (!logged_in) return;
      TdsWriter out;
      switch (type) {
        case PacketType::kSqlBatch:
          Batch(message->payload, out);
          break;
        case PacketType::kRpc:
          Rpc(message->payload, out);
          break;
        case PacketType::kTransactionManager:
          Transaction(message->payload, out);
          break;
        case PacketType::kAttention:
          WriteDone(out, Token::kDone, done::kAttention, 0, std::nullopt);
          break;
        default:
          return;
      }
      if (dropped_ || !Send(out)) return;
    }
  } catch (const std::exception&) {
    // A message this server cannot read ends the connection, as a real server would.
  }
}

bool TdsSession::Send(TdsWriter& out) {
  MarkFinal(out);
  return WriteMessage(fd_, PacketType::kReply, out.bytes(), packet_size_);
}

bool TdsSession::Login(std::span<const std::uint8_t> payload) {
  const LoginRequest login = ReadLogin(payload);
  TdsWriter out;
  const auto refuse = [&](const TdsErrorInfo& error) {
    WriteMessage(out, Token::kError, error);
    WriteDone(out, Token::kDone, done::kError, 0, std::nullopt);
    Send(out);
    return false;
  };
  if (login.user_name != options_.user || login.password != options_.password) {
    return refuse({kLoginFailed, 1, 14, "Login failed for user '" + login.user_name + "'.", ""});
  }
  try {
    OpenDatabase(login.database.empty() ? "master" : login.database);
  } catch (const db::DbError& error) {
    WriteMessage(out, Token::kError, ErrorFor(error));
    return refuse({kLoginFailed, 1, 14, "Login failed for user '" + login.user_name + "'.", ""});
  }
  if (login.packet_size >= 512 && login.packet_size <= 32767) packet_size_ = login.packet_size;
  WriteEnvChange(out, envchange::kDatabase, database_, "master");
  WriteCollationChange(out);
  WriteEnvChange(out, envchange::kLanguage, "us_english", "");
  WriteLoginAck(out);
  WriteEnvChange(out, envchange::kPacketSize, std::to_string(packet_size_),
                 std::to_string(packet_size_));
  WriteDone(out, Token::kDone, done::kFinal, 0, std::nullopt);
  return Send(out);
}

void TdsSession::OpenDatabase(const std::string& database) {
  db::ConnectionString connection = db::ConnectionString::Parse(
      "Data Source=" + db::QuoteConnectionValue("sqlite:" + options_.engine_dir.string()) +
      ";Database=" + db::QuoteConnectionValue(database));
  engine_ = db::OpenSession(connection);
  database_ = database;
}

bool TdsSession::Admit(std::string_view sql) {
  server_.RecordStatement(sql);
  if (options_.drop_connection_on && options_.drop_connection_on(sql)) {
    ::shutdown(fd_, SHUT_RDWR);
    dropped_ = true;
    return false;
  }
  if (options_.before_statement) options_.before_statement(sql);
  return true;
}

void TdsSession::Batch(std::span<const std::uint8_t> payload, TdsWriter& out) {
  TdsReader in(payload);
  in.Seek(SkipAllHeaders(payload));
  const std::string sql = in.Utf16(in.remaining() / 2);
  if (!Admit(sql)) return;
  if (AnswerServerWide(server_, this, sql, options_.engine_dir, out)) return;
  if (const std::optional<std::string> database = UsedDatabase(sql)) {
    try {
      const std::string old = database_;
      OpenDatabase(*database);
      WriteEnvChange(out, envchange::kDatabase, database_, old);
      WriteDone(out, Token::kDone, done::kFinal, 0, std::nullopt);
    } catch (const db::DbError& error) {
      WriteMessage(out, Token::kError, ErrorFor(error));
      WriteDone(out, Token::kDone, done::kError, 0, std::nullopt);
    }
    return;
  }
  if (AnsweredAsLinkedServers(sql, out)) return;
  const std::string own_source = "sqlite:" + options_.engine_dir.string();
  RunStatements(
      RewriteTempTables(LinkToSelf(
          NarrowLiterals(WithServerProperties(
                             WithProductVersion(sql, options_.product_major_version), options_),
                         options_.collation),
          server_.address(), own_source)),
      {}, out, false);
}

bool TdsSession::AnsweredAsLinkedServers(std::string_view sql, TdsWriter& out) {
  if (const std::optional<AddedLink> added = AddedLinkOf(sql)) {
    if (Refused(options_, "ALTER ANY LINKED SERVER")) {
      WriteMessage(out, Token::kError,
                   {15247, 1, 16, "User does not have permission to perform this action.", ""});
      WriteDone(out, Token::kDone, static_cast<std::uint16_t>(done::kMore | done::kError), 0,
                std::nullopt);
      return true;
    }
    server_.AddLink(added->server, added->provider);
    return false;
  }
  if (const std::optional<std::string> dropped = DroppedLinkOf(sql)) {
    server_.DropLink(*dropped);
    return false;
  }
  const auto refuse = [&](const TdsErrorInfo& error) {
    WriteMessage(out, Token::kError, error);
    WriteDone(out, Token::kDone, static_cast<std::uint16_t>(done::kMore | done::kError), 0,
              std::nullopt);
    return true;
  };
  const auto unregistered = [&](const std::string& provider) {
    // SQL Server keeps SQLNCLI for SQLOLEDB.
    const std::string stored = provider == "SQLOLEDB" ? "SQLNCLI11" : provider;
    return TdsErrorInfo{7403, 1, 16,
                        "The OLE DB provider \"" + stored + "\" has not been registered.", ""};
  };
  const std::map<std::string, std::string> links = server_.links();
  if (const std::optional<std::string> tested = TestedLinkOf(sql)) {
    std::string upper = *tested;
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    const auto link = links.find(upper);
    if (link == links.end()) {
      return refuse({7202, 2, 11,
                     "Could not find server '" + *tested +
                         "' in sys.servers. Verify that the correct server name was specified.",
                     ""});
    }
    if (!HasProvider(options_.product_major_version, link->second)) {
      return refuse(unregistered(link->second));
    }
    WriteDone(out, Token::kDone, done::kMore, 0, std::nullopt);
    return true;
  }
  for (const auto& [name, provider] : links) {
    if (ReadsThrough(sql, name) && !HasProvider(options_.product_major_version, provider)) {
      return refuse(unregistered(provider));
    }
  }
  return false;
}

void TdsSession::RunStatements(std::string_view sql, std::span<const db::Value> values,
                               TdsWriter& out, bool in_procedure) {
  std::vector<std::string> statements = SplitStatements(sql);
  const bool session_statement = std::ranges::any_of(statements, [](const std::string& s) {
    return NoCountSetting(s).has_value() || AsksRowCount(s);
  });
  // Otherwise the engine runs a batch whole, as it runs one statement.
  if (!HasSeveralStatements(sql) || (values.empty() && !session_statement)) {
    statements = {std::string(sql)};
  }
  std::size_t used = 0;
  for (const std::string& statement : statements) {
    const std::size_t markers = std::min(CountMarkers(statement), values.size() - used);
    const std::span<const db::Value> share = values.subspan(used, markers);
    used += markers;
    const Token done_token = in_procedure ? Token::kDoneInProc : Token::kDone;
    if (const std::optional<bool> nocount = NoCountSetting(statement)) {
      nocount_ = *nocount;
      WriteDone(out, done_token, done::kMore, 0, std::nullopt);
    } else if (AsksRowCount(statement)) {
      db::ResultSet result;
      result.columns.push_back({"", "", ""});
      result.rows.push_back({db::Value(row_count_)});
      WriteResult(out, result, {{"", ColumnType::kInt}}, in_procedure);
    } else {
      RunStatement(statement, share, out, in_procedure);
    }
  }
}

void TdsSession::RunStatement(std::string_view sql, std::span<const db::Value> values,
                              TdsWriter& out, bool in_procedure) {
  const Token done_token = in_procedure ? Token::kDoneInProc : Token::kDone;
  try {
    // Only one plain statement has a single count or a description to ask for first.
    std::optional<bool> returns_rows;
    if (!HasSeveralStatements(sql)) {
      try {
        returns_rows = !engine_->Describe(sql).empty();
      } catch (const db::DbError&) {
        // Running it reports the fault as the statement's own error.
      }
    }
    if (returns_rows == false && values.empty()) {
      try {
        const std::int64_t rows = engine_->ExecuteWithParams(sql, values);
        FireTrigger(sql, out);
        WriteDone(out, done_token, done::kMore, 0, Counted(rows));
        return;
      } catch (const db::DbError& error) {
        // A statement the engine runs itself (EXEC, SET): no count of its own.
        if (error.kind() != db::DbError::Kind::kUsage) throw;
      }
    }
    if (!returns_rows.value_or(false) && values.empty()) {
      const db::ResultSet result = engine_->Query(sql);
      if (result.columns.empty()) {
        WriteDone(out, done_token, done::kMore, 0, std::nullopt);
      } else {
        WriteResult(out, result, ColumnsFor(result, options_.money_columns), in_procedure);
      }
      return;
    }
    if (returns_rows.value_or(false)) {
      const db::ResultSet result = engine_->Query(InlineValues(sql, values));
      WriteResult(out, result, ColumnsFor(result, options_.money_columns), in_procedure);
      return;
    }
    const std::int64_t rows = engine_->ExecuteWithParams(sql, values);
    FireTrigger(sql, out);
    WriteDone(out, done_token, done::kMore, 0, Counted(rows));
  } catch (const db::DbError& error) {
    WriteMessage(out, Token::kError, ErrorFor(error));
    WriteDone(out, done_token, static_cast<std::uint16_t>(done::kMore | done::kError), 0,
              std::nullopt);
  } catch (const std::invalid_argument& error) {
    WriteMessage(out, Token::kError, ErrorFor(error));
    WriteDone(out, done_token, static_cast<std::uint16_t>(done::kMore | done::kError), 0,
              std::nullopt);
  }
}

void TdsSession::Rpc(std::span<const std::uint8_t> payload, TdsWriter& out) {
  for (const RpcRequest& request : ReadRpcRequests(payload)) {
    Call(request, out);
    if (dropped_) return;
  }
}

void TdsSession::RunWithMarkers(const std::string& sql, const std::string& declarations,
                                std::span<const RpcParameter> values, TdsWriter& out) {
  if (!Admit(sql)) return;
  const PositionalStatement statement =
      ToPositional(NarrowLiterals(sql, options_.collation), declarations, values);
  if (CallsProcedure(statement.sql, "sp_describe_first_result_set")) {
    const auto* tsql =
        statement.values.empty() ? nullptr : std::get_if<std::string>(&statement.values.front());
    Catalog(
        [&] {
          if (!tsql) throw db::DbError(db::DbError::Kind::kEngine, "@tsql is missing.", "", 201);
          return DescribeFirstResultSet(*engine_, *tsql);
        },
        out);
    return;
  }
  FollowIdentityInsert(statement.sql, call_identity_insert_);
  RunStatements(RewriteTempTables(statement.sql), statement.values, out, true);
}

void TdsSession::Call(const RpcRequest& request, TdsWriter& out) {
  const auto& p = request.parameters;
  const auto text = [&](std::size_t i) -> std::string {
    if (i >= p.size()) return {};
    if (const auto* s = std::get_if<std::string>(&p[i].value)) return *s;
    return {};
  };
  const auto number = [&](std::size_t i) -> std::int32_t {
    if (i >= p.size()) return 0;
    if (const auto* n = std::get_if<std::int64_t>(&p[i].value))
      return static_cast<std::int32_t>(*n);
    return 0;
  };
  const std::string name = request.name;
  const std::uint16_t id = request.procedure_id;
  // SET options made inside a procedure call end with it.
  struct RestoreOptions {
    bool& nocount;
    bool saved;
    ~RestoreOptions() { nocount = saved; }
  } restore{nocount_, nocount_};
  // So do the #tables it made.
  struct DropMadeTempTables {
    db::Session* engine;
    std::vector<std::string> kept;
    ~DropMadeTempTables() {
      if (engine) DropTempTablesBeyond(*engine, kept);
    }
  } drop{engine_.get(), engine_ ? TempTableNames(*engine_) : std::vector<std::string>{}};
  // And IDENTITY_INSERT, which it may have left ON.
  struct EndIdentityInsert {
    db::Session* engine;
    std::optional<std::string>& on_table;
    ~EndIdentityInsert() {
      if (engine && on_table) {
        try {
          engine->Execute("SET IDENTITY_INSERT " + *on_table + " OFF");
        } catch (const std::exception&) {
          // The table is gone, or the session: nothing is left ON either way.
        }
      }
      on_table.reset();
    }
  } end_identity_insert{engine_.get(), call_identity_insert_};
  if (id == procedure::kExecuteSql || name == "sp_executesql") {
    RunWithMarkers(text(0), text(1), std::span(p).subspan(std::min<std::size_t>(2, p.size())), out);
  } else if (id == procedure::kPrepExec || id == procedure::kPrepare || name == "sp_prepexec" ||
             name == "sp_prepare") {
    const std::int32_t handle = next_handle_++;
    prepared_[handle] = {text(2), text(1)};
    const bool execute = id == procedure::kPrepExec || name == "sp_prepexec";
    if (!execute) DescribeOnly(text(2), text(1), out);
    if (execute) {
      RunWithMarkers(text(2), text(1), std::span(p).subspan(std::min<std::size_t>(3, p.size())),
                     out);
      if (dropped_) return;
    }
    WriteReturnStatus(out, 0);
    WriteIntReturnValue(out, 1, p.empty() ? "" : p[0].name, handle);
  } else if (id == procedure::kExecute || name == "sp_execute") {
    const auto found = prepared_.find(number(0));
    if (found == prepared_.end()) {
      WriteMessage(
          out, Token::kError,
          {8179, 4, 16,
           "Could not find prepared statement with handle " + std::to_string(number(0)) + ".", ""});
    } else {
      RunWithMarkers(found->second.sql, found->second.declarations,
                     std::span(p).subspan(std::min<std::size_t>(1, p.size())), out);
      if (dropped_) return;
    }
    WriteReturnStatus(out, 0);
  } else if (id == procedure::kUnprepare || name == "sp_unprepare") {
    prepared_.erase(number(0));
    WriteReturnStatus(out, 0);
  } else if (name == "sp_pkeys") {
    // @table_name, by name or first.
    std::string table = text(0);
    for (const RpcParameter& parameter : p) {
      const auto* value = std::get_if<std::string>(&parameter.value);
      if (value && parameter.name == "@table_name") table = *value;
    }
    Catalog([&] { return PrimaryKeyRows(*engine_, database_, table); }, out);
    WriteReturnStatus(out, 0);
  } else if (name == "sp_special_columns") {
    Catalog(NoSpecialColumns, out);
    WriteReturnStatus(out, 0);
  } else {
    WriteMessage(out, Token::kError,
                 {2812, 62, 16, "Could not find stored procedure '" + name + "'.", ""});
    WriteReturnStatus(out, 1);
  }
  WriteDone(out, Token::kDoneProc, done::kFinal, 0, std::nullopt);
}

void TdsSession::DescribeOnly(const std::string& sql, const std::string& declarations,
                              TdsWriter& out) {
  // The driver learns a prepared query's columns before running it from this metadata. The
  // engine keeps no declared types: a query without markers is run to type its columns as its
  // rows will be sent (a datetime stays a datetime); one with markers says nvarchar.
  std::vector<TdsColumn> columns;
  try {
    const PositionalStatement statement = ToPositional(sql, declarations, {});
    for (const db::ColumnInfo& info : engine_->Describe(statement.sql)) {
      columns.push_back({info.name, ColumnType::kNVarChar});
    }
    if (!columns.empty() && CountMarkers(statement.sql) == 0) {
      columns = ColumnsFor(engine_->Query(statement.sql), options_.money_columns);
    }
  } catch (const db::DbError&) {
    return;  // running it will report the fault
  }
  if (!columns.empty()) WriteColumnMetadata(out, columns);
}

void TdsSession::Catalog(const std::function<CatalogResult()>& answer, TdsWriter& out) {
  try {
    const CatalogResult catalog = answer();
    WriteResult(out, catalog.result, catalog.columns, true);
  } catch (const db::DbError& error) {
    WriteMessage(out, Token::kError, ErrorFor(error));
  }
}

void TdsSession::Transaction(std::span<const std::uint8_t> payload, TdsWriter& out) {
  TdsReader in(payload);
  in.Seek(SkipAllHeaders(payload));
  const std::uint16_t request = in.U16();
  try {
    if (request == kBeginTransactionRequest) {
      engine_->BeginTransaction();
      transaction_ = transaction_ + 1;
      WriteTransactionChange(out, envchange::kBeginTransaction, transaction_);
    } else if (request == kCommitRequest || request == kRollbackRequest) {
      if (transaction_ != 0) {
        if (request == kCommitRequest) {
          engine_->Commit();
        } else {
          engine_->Rollback();
        }
        WriteTransactionChange(out,
                               request == kCommitRequest ? envchange::kCommitTransaction
                                                         : envchange::kRollbackTransaction,
                               transaction_);
      }
      transaction_ = 0;
      // "begin a new one" follows the name and flag of a commit or rollback.
      in.BVarchar();
      if (!in.AtEnd() && (in.U8() & 0x01) != 0) {
        engine_->BeginTransaction();
        transaction_ = 1;
        WriteTransactionChange(out, envchange::kBeginTransaction, transaction_);
      }
    }
    WriteDone(out, Token::kDone, done::kFinal, 0, std::nullopt);
  } catch (const db::DbError& error) {
    WriteMessage(out, Token::kError, ErrorFor(error));
    WriteDone(out, Token::kDone, done::kError, 0, std::nullopt);
  }
}

}  // namespace rilo::tds
