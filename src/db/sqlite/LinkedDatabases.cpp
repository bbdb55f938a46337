#include "db/sqlite/LinkedDatabases.h"

#include <system_error>

#include "db/DbError.h"
#include "db/sqlite/SqliteHandles.h"
#include "db/sqlite/ValueConversion.h"

namespace rilo::db::sqlite {
namespace {

// SQLite allows ten attached databases in this build; keep room for the caller's own.
constexpr std::size_t kMostAttached = 6;
constexpr std::string_view kSchemaPrefix = "rilo_link_";

std::filesystem::path Canonical(const std::filesystem::path& file) {
  std::error_code error;
  auto canonical = std::filesystem::weakly_canonical(file, error);
  return error ? file : canonical;
}

// A read-only URI for `file`: nothing is ever written through a link, so a statement that
// reaches a linked table by mistake cannot change the other database.
std::string ReadOnlyUri(const std::filesystem::path& file) {
  // SQLite reads a URI's path as UTF-8 with '/' separators; on Windows "/C:/..." stands
  // for the drive.
  std::string uri = "file:";
  const std::u8string generic = file.generic_u8string();
  std::string path(generic.begin(), generic.end());
#ifdef _WIN32
  if (!path.empty() && path.front() != '/') path.insert(0, "/");
#endif
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
      uri += kHex[static_cast<unsigned char>(c) & 0xF];
    } else {
      uri += c;
    }
  }
  return uri + "?mode=ro";
}

}  // namespace

LinkedDatabases::LinkedDatabases(sqlite3* db, std::filesystem::path main_file)
    : db_(db), main_file_(Canonical(main_file)) {}

std::string LinkedDatabases::SchemaFor(const std::filesystem::path& file) {
  const auto key = Canonical(file);
  // A link that leads back to this very database would let a batch read a table it has
  // already emptied, so nothing is read through it.
  if (key == main_file_) {
    throw DbError(DbError::Kind::kEngine,
                  "The linked database '" + key.filename().string() +
                      "' is this connection's own database; it is not read through a link.",
                  "42000", 50000);
  }
  if (auto found = schemas_.find(key); found != schemas_.end()) return found->second;
  if (schemas_.size() >= kMostAttached) DetachAllIfIdle();

  // Attached read-only, the file cannot be switched to WAL through this connection; in the
  // rollback journal, this session's read lock would stop the file's own writers until it
  // commits.
  try {
    OpenDatabase(key, SQLITE_OPEN_READWRITE);
  } catch (const DbError&) {
    // The ATTACH below reports what is wrong with the file.
  }
  const std::string schema = std::string(kSchemaPrefix) + std::to_string(next_number_++);
  StatementHandle attach = Prepare(db_, "ATTACH DATABASE ? AS " + schema);
  BindValue(attach.get(), 1, ReadOnlyUri(key));
  StepToEnd(db_, attach.get());
  schemas_.emplace(key, schema);
  return schema;
}

bool LinkedDatabases::IsLinkSchema(std::string_view schema) const {
  for (const auto& [file, name] : schemas_) {
    if (name == schema) return true;
  }
  return false;
}

void LinkedDatabases::DetachAllIfIdle() {
  if (!sqlite3_get_autocommit(db_)) return;  // in a transaction: SQLite refuses DETACH
  for (const auto& [file, schema] : schemas_) {
    RunScript(db_, "DETACH DATABASE " + schema);
  }
  schemas_.clear();
}

}  // namespace rilo::db::sqlite
