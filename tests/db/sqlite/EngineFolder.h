// Test helper: an engine folder of its own for one test, with database files made and read
// through SQLite directly, so fixtures and checks do not depend on the code under test.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/Utf8Path.h"
#include "db/access/OpenSession.h"
#include "support/TestFolder.h"

namespace rilo::db::testing {

inline constexpr const char* kNullText = "<null>";

class EngineFolder {
 public:
  /// A fresh folder named after the running test; `leaf` tells apart two folders of a test.
  explicit EngineFolder(std::string_view leaf = "engine") : folder_(NameFor(leaf)) {}

  const std::filesystem::path& dir() const { return folder_.path(); }
  std::string DataSource() const { return "sqlite:" + dir().string(); }
  std::filesystem::path File(std::string_view database) const {
    return dir() / (std::string(database) + ".db");
  }
  /// The connection string the server builds for this folder.
  std::string ConnString(std::string_view database) const {
    return "provider='SQLOLEDB';Data Source=" + DataSource() +
           ";Database=" + std::string(database) +
           ";UID=;PWD=;pooling=true;connection lifetime=0;max pool size=512; Min Pool Size=1;";
  }

  /// Creates the database file and runs `script` in it.
  void Create(std::string_view database, const std::string& script = "") {
    Exec(database, script, SQLITE_OPEN_CREATE);
  }

  /// Runs `script` on the file directly.
  void Exec(std::string_view database, const std::string& script, int extra_flags = 0) const {
    Handle db(File(database), extra_flags);
    char* error = nullptr;
    if (sqlite3_exec(db.get(), script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "unknown error";
      sqlite3_free(error);
      throw std::runtime_error(message + " in: " + script);
    }
  }

  /// Every row of `sql` read from the file directly, values as text (Null as kNullText).
  std::vector<std::vector<std::string>> Rows(std::string_view database,
                                             const std::string& sql) const {
    Handle db(File(database), 0);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db.get()));
    }
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);
    std::vector<std::vector<std::string>> rows;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
      auto& row = rows.emplace_back();
      for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
        const auto* text = sqlite3_column_text(stmt.get(), i);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : kNullText);
      }
    }
    return rows;
  }

  /// A session of the engine on `database`, opened as the access layer opens one.
  std::unique_ptr<Session> Open(std::string_view database) const {
    return OpenSession(db::ConnectionString::Parse(ConnString(database)));
  }

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
  };
  struct Handle : std::unique_ptr<sqlite3, Closer> {
    Handle(const std::filesystem::path& file, int extra_flags) {
      sqlite3* db = nullptr;
      const int rc =
          sqlite3_open_v2(rilo::db::PathToUtf8(file).c_str(), &db, SQLITE_OPEN_READWRITE | extra_flags, nullptr);
      reset(db);
      if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + file.string());
      sqlite3_busy_timeout(db, 5000);
    }
  };

  static std::filesystem::path NameFor(std::string_view leaf) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(leaf);
    if (info) name = std::string(info->test_suite_name()) + "-" + info->name() + "-" + name;
    return std::filesystem::path("db") / name;
  }

  rilo::testing::TestFolder folder_;
};

}  // namespace rilo::db::testing
