#include "db/sqlite/EmbeddedDataSource.h"

#include <string>
#include <system_error>

#include "db/Engine.h"
#include "db/Utf8Path.h"
#include "db/sql/Names.h"

namespace rilo::db {

namespace {
constexpr std::string_view kPrefix = "sqlite:";

// Characters that would let a database name leave its folder. On Windows that includes the
// other separator and the drive or stream colon ("C:x" or "D:stream").
#ifdef _WIN32
constexpr std::string_view kNotInName("/\\:\0", 4);
#else
constexpr std::string_view kNotInName("/\0", 2);
#endif
}  // namespace

bool IsEmbeddedDataSource(std::string_view data_source) {
  return data_source.size() >= kPrefix.size() &&
         sql::SameName(data_source.substr(0, kPrefix.size()), kPrefix);
}

namespace sqlite {

std::optional<std::filesystem::path> EmbeddedFolder(std::string_view data_source) {
  if (!IsEmbeddedDataSource(data_source) || data_source.size() == kPrefix.size()) {
    return std::nullopt;
  }
  // Absolute, so that SQLite never reads a folder named "file:..." as a URI.
  std::error_code error;
  auto folder =
      std::filesystem::absolute(PathFromUtf8(data_source.substr(kPrefix.size())), error);
  if (error) return std::nullopt;
  return folder;
}

std::optional<std::filesystem::path> FindDatabaseFile(const std::filesystem::path& folder,
                                                      std::string_view database) {
  if (database.empty() || database == "." || database == ".." ||
      database.find_first_of(kNotInName) != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string file_name = std::string(database) + ".db";
  std::error_code error;
  const auto exact = folder / PathFromUtf8(file_name);
  if (std::filesystem::is_regular_file(exact, error)) return exact;

  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (sql::SameName(PathToUtf8(entry.path().filename()), file_name) &&
        entry.is_regular_file(error)) {
      return entry.path();
    }
  }
  return std::nullopt;
}

}  // namespace sqlite
}  // namespace rilo::db
