// The errors SQL Server gives for the statements the embedded engine carries out itself,
// with SQL Server's message numbers and texts, so callers see the same failure either way.
#pragma once

#include <string_view>

#include "db/DbError.h"

namespace rilo::db::sqlite {

DbError IncorrectSyntax(std::string_view near);                                    // 102
DbError MissingParameter(std::string_view procedure, std::string_view parameter);  // 201
DbError InvalidObjectName(std::string_view name);                                  // 208
DbError EmptyName();                                                               // 1038
DbError ProcedureNotFound(std::string_view procedure);                             // 2812
DbError CannotOpenDatabase(std::string_view database);                             // 4060
DbError ServerNotInSysServers(std::string_view server);                            // 7202
DbError LinkedTableMissing(std::string_view server, std::string_view provider,
                           std::string_view database, std::string_view schema,
                           std::string_view table);  // 7314
DbError LinkedDatabaseUnavailable(std::string_view server, std::string_view provider,
                                  std::string_view database);  // 4060, through the link
DbError LinkedServerUnreachable(std::string_view server, std::string_view data_source);  // 7399
DbError NoIdentityProperty(std::string_view table);                                      // 8106
DbError IdentityInsertAlreadyOn(std::string_view on_table, std::string_view table);      // 8107
DbError ServerMissing(std::string_view server);                                          // 15015
DbError ServerExists(std::string_view server);                                           // 15028
DbError ServerHasLogins(std::string_view server);                                        // 15190

}  // namespace rilo::db::sqlite
