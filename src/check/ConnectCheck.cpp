#include <charconv>

#include "check/Checks.h"
#include "db/Value.h"

namespace rilo::check {
namespace {

// SQL Server's marketing name of a major version, for an operator who knows it by year.
std::string YearOf(std::string_view version) {
  int major = 0;
  std::from_chars(version.data(), version.data() + version.size(), major);
  switch (major) {
    case 11: return "2012";
    case 12: return "2014";
    case 13: return "2016";
    case 14: return "2017";
    case 15: return "2019";
    case 16: return "2022";
    case 17: return "2025";
    default: return {};
  }
}

}  // namespace

void CheckConnect(CheckList& list, Database& database) {
  const std::string name = database.Check("connect");
  const std::string fix =
      database.embedded
          ? "check the folder after 'sqlite:' and that DIR/" + database.name + ".db exists"
          : "check server name, port or instance, login and password (" +
                std::string(database.side == "main" ? "parts 1-4" : "parts 5-8") +
                " of the settings), that the login may use database '" + database.name +
                "', and that this machine reaches the server";
  const bool opened = list.Guard(name, fix, [&] {
    database.connection.SetCursorLocation(db::CursorLocation::kUseClient);
    database.connection.Open(database.connection_string);
  });
  if (!opened) return;
  if (database.embedded) {
    list.Pass(name, "embedded engine, database '" + database.name + "' in " + database.server);
    return;
  }
  list.Guard(name, "", [&] {
    const db::ResultSet version =
        database.Query("SELECT CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(128))");
    std::string text = version.rows.empty() || version.rows[0].empty()
                           ? std::string("unknown")
                           : db::ValueToText(version.rows[0][0]);
    const std::string year = YearOf(text);
    list.Pass(name, "SQL Server " + text + (year.empty() ? "" : " (" + year + ")") +
                        ", database '" + database.name + "' as '" + database.user + "'");
  });
}

}  // namespace rilo::check
