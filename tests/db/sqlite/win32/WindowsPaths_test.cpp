// The embedded engine on Windows: a Data Source with a drive and backslashes, folder and file
// names outside the ANSI code page, and database names that would leave the folder there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/Engine.h"
#include "db/Utf8Path.h"
#include "db/Value.h"
#include "db/access/OpenSession.h"
#include "db/sqlite/EngineFolder.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;

std::unique_ptr<Session> Open(const std::string& data_source, const std::string& database) {
  return OpenSession(
      ConnectionString::Parse("Data Source=sqlite:" + data_source + ";Database=" + database));
}

TEST(WindowsPaths, DrivePathWithUtf16NamesReachesTheRightFile) {
  EngineFolder base;
  // Neither the folder nor the database name fits an ANSI code page.
  const std::filesystem::path dir =
      std::filesystem::absolute(base.dir()) / L"Filiale-\u6771\u4EAC-\u00C9";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / L"Caf\u00E9-\u0141\u00F3d\u017A.db").close();  // an empty file is a database

  const std::string source = PathToUtf8(dir);
  ASSERT_EQ(source.substr(1, 2), ":\\") << source;

  auto session = Open(source, "Caf\u00E9-\u0141\u00F3d\u017A");
  session->Execute("CREATE TABLE t (name nvarchar(20))");
  session->Execute("INSERT INTO t VALUES (N'Z\u00FCrich')");
  ResultSet result = session->Query("SELECT name FROM t");
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(ValueToText(result.rows[0][0]), "Z\u00FCrich");
  session.reset();

  // The rows went into that file and no other was made beside it.
  std::size_t databases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == L".db") ++databases;
  }
  EXPECT_EQ(databases, 1u);
  // A trailing separator and another case of the ASCII letters name the same database.
  auto again = Open(source + "\\", "CAF\u00E9-\u0141\u00F3D\u017A");
  EXPECT_EQ(again->Query("SELECT name FROM t").rows.size(), 1u);
}

TEST(WindowsPaths, DatabaseNamesCannotReachAnotherFolderOrDrive) {
  EngineFolder folder;
  std::filesystem::create_directories(folder.dir() / "sub");
  folder.Create("sub/Inner");
  folder.Create("Plain");
  const std::string source = PathToUtf8(std::filesystem::absolute(folder.dir()));
  for (const std::string name : {"sub\\Inner", "C:Plain", "Plain:stream", "..\\Plain"}) {
    try {
      Open(source, name);
      ADD_FAILURE() << "opened " << name;
    } catch (const DbError& e) {
      EXPECT_EQ(e.native_code(), 4060) << name;
    }
  }
  EXPECT_NO_THROW(Open(source, "plain"));
}

}  // namespace
}  // namespace rilo::db
