#include "OdbcOptions.h"

#include <string>

namespace rilo::host {

void AddOdbcOptions(CLI::App& command, OdbcSettings& settings) {
  command
      .add_option("--odbc-driver", settings.driver,
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
      .add_option("--odbc-keyword", settings.freetds_keywords,
                  "Add KEYWORD=VALUE to every connection through FreeTDS, for servers that "
                  "force encryption: Encryption=require, CAFile=PATH (repeatable)")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            return OdbcSettingsProblem({.freetds_keywords = {value}});
          },
          "KEYWORD=VALUE"));
  command.add_option("--link-provider", settings.link_provider,
                     "OLE DB provider of the linked server the refresh creates (default: "
                     "SQLOLEDB before SQL Server 2022, MSOLEDBSQL from 2022 on)");
}

}  // namespace rilo::host
