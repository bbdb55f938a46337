#include "refresh/SameDatabase.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#include "db/AsciiCase.h"
#include "db/Engine.h"
#include "db/odbc/FreeTdsServerName.h"
#include "db/sql/Names.h"
#include "db/sqlite/EmbeddedDataSource.h"

namespace rilo::refresh {
namespace {

constexpr std::string_view kThisMachine = "(local)";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsThisMachine(std::string_view host) {
  static constexpr std::array<std::string_view, 5> kNames = {"(local)", ".", "localhost",
                                                             "127.0.0.1", "::1"};
  if (std::ranges::find(kNames, host) != kNames.end()) return true;
  std::array<char, 256> name{};
#ifdef _WIN32
  DWORD size = static_cast<DWORD>(name.size());
  if (!GetComputerNameA(name.data(), &size)) return false;
#else
  if (::gethostname(name.data(), name.size() - 1) != 0) return false;
#endif
  return db::AsciiLower(name.data()) == host;
}

std::filesystem::path Resolved(const std::filesystem::path& path) {
  std::error_code error;
  auto canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical;
}

std::optional<std::string> SameEmbeddedFile(const db::DbSettings& s) {
  const auto main_folder = db::sqlite::EmbeddedFolder(s.MainServer);
  const auto local_folder = db::sqlite::EmbeddedFolder(s.LocalServer);
  if (!main_folder || !local_folder) return std::nullopt;
  const auto main_file = db::sqlite::FindDatabaseFile(*main_folder, s.MainDatabase);
  const auto local_file = db::sqlite::FindDatabaseFile(*local_folder, s.LocalDatabase);
  bool same = false;
  if (main_file && local_file) {
    // Device and inode: links, case and hard links all come to one file.
    std::error_code error;
    same = std::filesystem::equivalent(*main_file, *local_file, error);
  } else {
    same = Resolved(*main_folder) == Resolved(*local_folder) &&
           db::sql::SameName(s.MainDatabase, s.LocalDatabase);
  }
  if (!same) return std::nullopt;
  return "the main database '" + s.MainDatabase + "' on '" + s.MainServer +
         "' is the local database '" + s.LocalDatabase + "' on '" + s.LocalServer + "'";
}

}  // namespace

std::string NormalisedServerName(std::string_view server) {
  const std::string lowered = db::AsciiLower(Trim(server));
  const db::odbc::ServerNameParts parts = db::odbc::SplitServerName(lowered);
  std::string name(Trim(parts.host));
  std::string instance(parts.instance.value_or(""));
  std::string port(Trim(parts.port.value_or("")));
  if (IsThisMachine(name)) name = kThisMachine;
  if (instance == "mssqlserver") instance.clear();
  if (port == "1433") port.clear();
  if (!instance.empty()) name += "\\" + instance;
  if (!port.empty()) name += "," + port;
  return name;
}

std::optional<std::string> SameDatabaseReason(const db::DbSettings& settings) {
  const bool main_embedded = db::IsEmbeddedDataSource(settings.MainServer);
  const bool local_embedded = db::IsEmbeddedDataSource(settings.LocalServer);
  if (main_embedded || local_embedded) {
    return main_embedded && local_embedded ? SameEmbeddedFile(settings) : std::nullopt;
  }
  if (NormalisedServerName(settings.MainServer) != NormalisedServerName(settings.LocalServer) ||
      !db::sql::SameName(Trim(settings.MainDatabase), Trim(settings.LocalDatabase))) {
    return std::nullopt;
  }
  return "the main database '" + settings.MainDatabase + "' on '" + settings.MainServer +
         "' is the local database '" + settings.LocalDatabase + "' on '" + settings.LocalServer +
         "'";
}

}  // namespace rilo::refresh
