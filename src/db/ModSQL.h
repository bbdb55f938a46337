// ModSQL, database half: the settings record, the connection strings built from it, and the
// filter applied to generated column names.
#pragma once

#include <string>
#include <string_view>

namespace rilo::db {

/// The eight login fields of the main and the local database. One record per server thread,
/// shared by every instance on that thread.
struct DbSettings {
  std::string MainServer;
  std::string MainUser;
  std::string MainPassword;
  std::string MainDatabase;
  std::string LocalServer;
  std::string LocalUser;
  std::string LocalPassword;
  std::string LocalDatabase;
};

/// The separator of the settings string: U+FF5C FULLWIDTH VERTICAL LINE.
inline constexpr std::string_view kSettingsSeparator = "\xEF\xBD\x9C";

/// Splits `MySetStr` on U+FF5C; parts 1 to 4 become the main fields. A missing part leaves
/// its field empty.
void SetMainSettings(DbSettings& settings, std::string_view MySetStr);
/// As SetMainSettings, then parts 5 to 8 become the local fields.
void SetAllSettings(DbSettings& settings, std::string_view MySetStr);

/// The connection strings, built anew from the fields at every call.
std::string MainConnString(const DbSettings& settings);
std::string LocalConnString(const DbSettings& settings);

/// True when `text` is empty once leading and trailing U+0020 are removed.
bool IsBlank(std::string_view text);

}  // namespace rilo::db
