#include "db/sqlite/SqlServerErrors.h"

#include <fmt/format.h>

namespace rilo::db::sqlite {
namespace {

DbError Error(long number, std::string message, const char* sqlstate = "42000") {
  return DbError(DbError::Kind::kEngine, std::move(message), sqlstate, number);
}

}  // namespace

DbError IncorrectSyntax(std::string_view near) {
  return Error(102, fmt::format("Incorrect syntax near '{}'.", near));
}

DbError MissingParameter(std::string_view procedure, std::string_view parameter) {
  return Error(201, fmt::format("Procedure or function '{}' expects parameter '{}', which was "
                                "not supplied.",
                                procedure, parameter));
}

DbError InvalidObjectName(std::string_view name) {
  return Error(208, fmt::format("Invalid object name '{}'.", name), "42S02");
}

DbError EmptyName() {
  return Error(1038,
               "An object or column name is missing or empty. For SELECT INTO statements, "
               "verify each column has a name. For other statements, look for empty alias "
               "names. Aliases defined as \"\" or [] are not allowed. Change the alias to a "
               "valid name.");
}

DbError ProcedureNotFound(std::string_view procedure) {
  return Error(2812, fmt::format("Could not find stored procedure '{}'.", procedure));
}

DbError CannotOpenDatabase(std::string_view database) {
  return Error(4060, fmt::format("Cannot open database \"{}\" requested by the login. The "
                                 "login failed.",
                                 database));
}

DbError ServerNotInSysServers(std::string_view server) {
  return Error(7202, fmt::format("Could not find server '{}' in sys.servers. Verify that the "
                                 "correct server name was specified. If necessary, execute "
                                 "the stored procedure sp_addlinkedserver to add the server to "
                                 "sys.servers.",
                                 server));
}

DbError LinkedTableMissing(std::string_view server, std::string_view provider,
                           std::string_view database, std::string_view schema,
                           std::string_view table) {
  return Error(7314, fmt::format("The OLE DB provider \"{}\" for linked server \"{}\" does not "
                                 "contain the table \"\"{}\".\"{}\".\"{}\"\". The table either "
                                 "does not exist or the current user does not have "
                                 "permissions on that table.",
                                 provider, server, database, schema, table));
}

DbError LinkedDatabaseUnavailable(std::string_view server, std::string_view provider,
                                  std::string_view database) {
  return Error(4060, fmt::format("OLE DB provider \"{}\" for linked server \"{}\" returned "
                                 "message \"Cannot open database \"{}\" requested by the "
                                 "login. The login failed.\".",
                                 provider, server, database));
}

DbError LinkedServerUnreachable(std::string_view server, std::string_view data_source) {
  return Error(7399, fmt::format("The linked server \"{}\" names the data source \"{}\", which "
                                 "the embedded engine cannot read: only sqlite:DIR data "
                                 "sources can be reached through a link.",
                                 server, data_source));
}

DbError NoIdentityProperty(std::string_view table) {
  return Error(8106, fmt::format("Table '{}' does not have the identity property. Cannot "
                                 "perform SET operation.",
                                 table));
}

DbError IdentityInsertAlreadyOn(std::string_view on_table, std::string_view table) {
  return Error(8107, fmt::format("IDENTITY_INSERT is already ON for table '{}'. Cannot perform "
                                 "SET operation for table '{}'.",
                                 on_table, table));
}

DbError ServerMissing(std::string_view server) {
  return Error(15015, fmt::format("The server '{}' does not exist. Use sp_helpserver to show "
                                  "available servers.",
                                  server));
}

DbError ServerExists(std::string_view server) {
  return Error(15028, fmt::format("The server '{}' already exists.", server));
}

DbError ServerHasLogins(std::string_view server) {
  return Error(15190, fmt::format("There are still remote logins or linked logins for the "
                                  "server '{}'.",
                                  server));
}

}  // namespace rilo::db::sqlite
