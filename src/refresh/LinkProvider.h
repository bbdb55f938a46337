// Which OLE DB provider the local SQL Server reaches the main server through. SQL Server 2022
// (major version 16) no longer ships SQLNCLI, which it stores for 'SQLOLEDB': such a link is
// created but every read through it fails, so from 16 on the link names MSOLEDBSQL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rilo::db {
class Session;
}

namespace rilo::refresh {

struct LinkProvider {
  std::string name;
  /// Empty: none given. Otherwise words the OLE DB driver versions 18 and 19 both read.
  std::string provider_string;
};

/// SQLOLEDB below major version 16 (or when the server does not say), MSOLEDBSQL from 16 on.
LinkProvider ProviderForVersion(std::optional<int> major_version);

/// The provider for a link made on `local`, a SQL Server session: `forced` unless empty, else
/// by the server's SERVERPROPERTY('ProductMajorVersion').
LinkProvider ChooseLinkProvider(db::Session& local, const std::string& forced);

}  // namespace rilo::refresh
