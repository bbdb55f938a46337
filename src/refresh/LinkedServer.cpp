#include "refresh/LinkedServer.h"

#include <chrono>

#include "component/Instance.h"
#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/SqlText.h"
#include "db/access/Connection.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "refresh/LeaveForHandler.h"

namespace rilo::refresh {
namespace {

constexpr std::string_view kTestLinkStatement = "exec sp_testlinkedserver ITSV";

// SQL Server's "The server 'ITSV' already exists."
constexpr long kServerExistsError = 15028;

void CloseIfOpen(db::Connection& connection) {
  if (connection.State() == db::ObjectState::kOpen) connection.Close();
}

// A link left by a run that was killed would send this run to whatever server and login
// it names; replace it rather than read through it.
void AddLinkedServer(component::Instance& self, db::Connection& connection,
                     const std::string& statement) {
  try {
    connection.Execute(statement);
  } catch (const db::DbError& e) {
    if (e.native_code() != kServerExistsError) throw;
    self.context().Log(LogLevel::kInfo, "LinkMainServer", "replacing a stale ITSV");
    connection.Execute(kUnlinkStatement);
    connection.Execute(statement);
  }
}

bool IsSqlServer(const std::string& connection_string) {
  const auto source = db::ConnectionString::Parse(connection_string).Get("Data Source");
  return !db::IsEmbeddedDataSource(source.value_or(""));
}

}  // namespace

std::vector<std::string> LinkStatements(const db::DbSettings& settings,
                                        const LinkProvider& provider) {
  std::string add = "exec sp_addlinkedserver 'ITSV' , '' , '" +
                    db::EscapeLiteral(provider.name) + "' , '" +
                    db::EscapeLiteral(settings.MainServer) + "'";
  if (!provider.provider_string.empty()) {
    add += " , null , '" + db::EscapeLiteral(provider.provider_string) + "'";
  }
  return {
      std::move(add),
      "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , '" +
          db::EscapeLiteral(settings.MainUser) + "' , '" +
          db::EscapeLiteral(settings.MainPassword) + "'",
  };
}

void LinkMainServer(component::Instance& self) { LinkMainServer(self, self.settings()); }

void UnlinkMainServer(component::Instance& self) { UnlinkMainServer(self, self.settings()); }

void LinkMainServer(component::Instance& self, const db::DbSettings& settings) {
  const std::vector<std::string> secrets = {
      settings.MainPassword, db::EscapeLiteral(settings.MainPassword), settings.LocalPassword};
  std::string step = "opening the local connection";
  db::Connection connection(self.context().session_options);
  LeaveForHandler(
      self.context(), "LinkMainServer", step, secrets,
      [&] {
        connection.SetCursorLocation(db::CursorLocation::kUseClient);
        const std::string connection_string = db::LocalConnString(settings);
        connection.Open(connection_string);
        const bool sql_server = IsSqlServer(connection_string);
        step = "choosing the provider";
        const std::vector<std::string> statements =
            sql_server ? LinkStatements(settings, ChooseLinkProvider(connection.session(),
                                                                     self.context().link_provider))
                       : LinkStatements(settings);
        for (std::size_t i = 0; i < statements.size(); ++i) {
          step = "link statement " + std::to_string(i + 1);
          if (i == 0) {
            AddLinkedServer(self, connection, statements[i]);
          } else {
            connection.Execute(statements[i]);
          }
          self.Yield();
          self.Sleep(std::chrono::milliseconds(1));
        }
        if (sql_server) {
          step = "testing the link";
          connection.Execute(kTestLinkStatement);
        }
        step = "closing the local connection";
        CloseIfOpen(connection);
      },
      [&] { CloseIfOpen(connection); });
}

void UnlinkMainServer(component::Instance& self, const db::DbSettings& settings) {
  const std::vector<std::string> secrets = {settings.LocalPassword};
  std::string step = "opening the local connection";
  db::Connection connection(self.context().session_options);
  LeaveForHandler(
      self.context(), "UnlinkMainServer", step, secrets,
      [&] {
        connection.SetCursorLocation(db::CursorLocation::kUseClient);
        connection.Open(db::LocalConnString(settings));
        step = "dropping ITSV";
        connection.Execute(kUnlinkStatement);
        step = "closing the local connection";
        CloseIfOpen(connection);
      },
      [&] { CloseIfOpen(connection); });
}

}  // namespace rilo::refresh
