#include "db/ModSQL.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "db/ConnectionString.h"

namespace rilo::db {
namespace {

// Every part of the settings string, in order; no limit on their number.
std::vector<std::string_view> SplitSettings(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(kSettingsSeparator, start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + kSettingsSeparator.size();
  }
}

// A field without its part is emptied: a short string must not leave the credentials of an
// earlier login in place, mixed with the new ones.
void StoreParts(const std::vector<std::string_view>& parts, std::size_t first,
                const std::array<std::string*, 4>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t index = first + i;
    *fields[i] = index < parts.size() ? std::string(parts[index]) : std::string();
  }
}

std::string BuildConnString(const std::string& server, const std::string& database,
                            const std::string& user, const std::string& password) {
  std::string text = "provider='SQLOLEDB';Data Source=";
  text += QuoteConnectionValue(server);
  text += ";Database=";
  text += QuoteConnectionValue(database);
  text += ";UID=";
  text += QuoteConnectionValue(user);
  text += ";PWD=";
  text += QuoteConnectionValue(password);
  text += ";pooling=true;connection lifetime=0;max pool size=512; Min Pool Size=1;";
  return text;
}

}  // namespace

void SetMainSettings(DbSettings& settings, std::string_view MySetStr) {
  StoreParts(
      SplitSettings(MySetStr), 0,
      {&settings.MainServer, &settings.MainUser, &settings.MainPassword, &settings.MainDatabase});
}

void SetAllSettings(DbSettings& settings, std::string_view MySetStr) {
  const auto parts = SplitSettings(MySetStr);
  StoreParts(
      parts, 0,
      {&settings.MainServer, &settings.MainUser, &settings.MainPassword, &settings.MainDatabase});
  StoreParts(parts, 4,
             {&settings.LocalServer, &settings.LocalUser, &settings.LocalPassword,
              &settings.LocalDatabase});
}

std::string MainConnString(const DbSettings& settings) {
  return BuildConnString(settings.MainServer, settings.MainDatabase, settings.MainUser,
                         settings.MainPassword);
}

std::string LocalConnString(const DbSettings& settings) {
  return BuildConnString(settings.LocalServer, settings.LocalDatabase, settings.LocalUser,
                         settings.LocalPassword);
}

}  // namespace rilo::db
