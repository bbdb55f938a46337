#include "OdbcOptions.h"

#include "db/DbError.h"
#include "db/odbc/OdbcEngine.h"
#include "refresh/LinkProvider.h"

namespace rilo::host {

void AddOdbcOptions(CLI::App& command, OdbcOptions& options) {
  command
      .add_option("--odbc-driver", options.driver,
                  "ODBC driver for SQL Server: a name from odbcinst.ini or the path of a "
                  "driver library (default: FreeTDS)")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            // A path is checked now; a name only the driver manager can look up, later.
            if (value.find('/') == std::string::npos) return {};
            return CLI::ExistingFile(value);
          },
          "NAME_OR_PATH"));
  command
      .add_option("--odbc-keyword", options.keywords,
                  "Add KEYWORD=VALUE to every connection through FreeTDS, for servers that "
                  "force encryption: Encryption=require, CAFile=PATH (repeatable)")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            try {
              db::SetFreeTdsKeywords({value});
            } catch (const db::DbError& error) {
              return error.what();
            }
            return {};
          },
          "KEYWORD=VALUE"));
  command.add_option("--link-provider", options.link_provider,
                     "OLE DB provider of the linked server the refresh creates (default: "
                     "SQLOLEDB before SQL Server 2022, MSOLEDBSQL from 2022 on)");
}

void ApplyOdbcOptions(const OdbcOptions& options) {
  if (!options.driver.empty()) db::SetOdbcDriver(options.driver);
  db::SetFreeTdsKeywords(options.keywords);
  refresh::SetLinkProvider(options.link_provider);
}

}  // namespace rilo::host
