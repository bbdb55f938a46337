// Where the embedded engine keeps its databases: Data Source "sqlite:DIR" names the folder DIR,
// and database D is the file DIR/D.db.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace rilo::db {

/// True when the Data Source names the embedded engine ("sqlite:DIR").
bool IsEmbeddedDataSource(std::string_view data_source);

}  // namespace rilo::db

namespace rilo::db::sqlite {

/// The folder an embedded Data Source names, made absolute; nothing for another Data Source
/// or for one that names no folder ("sqlite:").
std::optional<std::filesystem::path> EmbeddedFolder(std::string_view data_source);

/// The file of database `database` in `folder`: D.db, or a file whose name differs only in
/// ASCII case (SQL Server's database names ignore case). Nothing when `database` cannot name
/// a file there (empty, holding a path separator, "." or "..") or no such file exists.
std::optional<std::filesystem::path> FindDatabaseFile(const std::filesystem::path& folder,
                                                      std::string_view database);

}  // namespace rilo::db::sqlite
