// Linked servers as a SQL Server of a given version sees them: the providers it has, and
// the calls that add, drop and test a link.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rilo::tds {

struct AddedLink {
  std::string server;
  std::string provider;
};

/// The server name and provider of an sp_addlinkedserver call; nothing for another statement.
std::optional<AddedLink> AddedLinkOf(std::string_view sql);

/// The server an sp_dropserver or sp_testlinkedserver call names.
std::optional<std::string> DroppedLinkOf(std::string_view sql);
std::optional<std::string> TestedLinkOf(std::string_view sql);

/// True when `sql` reads through `server` with a four-part name ("server.db.dbo.t").
bool ReadsThrough(std::string_view sql, std::string_view server);

/// SQL Server 2022 (16) dropped SQL Server Native Client, which it stores for SQLOLEDB.
bool HasProvider(int major_version, std::string_view provider);

/// SERVERPROPERTY('ProductMajorVersion') replaced by `major_version`.
std::string WithProductVersion(std::string_view sql, int major_version);

}  // namespace rilo::tds
