#include "db/ModSQL.h"

#include <gtest/gtest.h>

#include <string>

namespace rilo::db {
namespace {

// "｜" (U+FF5C) written out, so the tests read like the strings a host hands over.
const std::string kBar = "\xEF\xBD\x9C";

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  bool first = true;
  for (std::string_view part : parts) {
    if (!first) out += kBar;
    out += part;
    first = false;
  }
  return out;
}

TEST(ModSQLSettings, EightPartsFillTheFieldsInOrder) {
  DbSettings s;
  SetAllSettings(s, Join({"m-srv", "m-user", "m-pwd", "m-db", "l-srv", "l-user", "l-pwd", "l-db"}));
  EXPECT_EQ(s.MainServer, "m-srv");
  EXPECT_EQ(s.MainUser, "m-user");
  EXPECT_EQ(s.MainPassword, "m-pwd");
  EXPECT_EQ(s.MainDatabase, "m-db");
  EXPECT_EQ(s.LocalServer, "l-srv");
  EXPECT_EQ(s.LocalUser, "l-user");
  EXPECT_EQ(s.LocalPassword, "l-pwd");
  EXPECT_EQ(s.LocalDatabase, "l-db");
}

TEST(ModSQLSettings, MainSettingsLeaveTheLocalFields) {
  DbSettings s;
  SetAllSettings(s, Join({"a", "b", "c", "d", "e", "f", "g", "h"}));
  SetMainSettings(s, Join({"A", "B", "C", "D", "E", "F", "G", "H"}));
  EXPECT_EQ(s.MainServer, "A");
  EXPECT_EQ(s.MainDatabase, "D");
  EXPECT_EQ(s.LocalServer, "e");
  EXPECT_EQ(s.LocalUser, "f");
  EXPECT_EQ(s.LocalPassword, "g");
  EXPECT_EQ(s.LocalDatabase, "h");
}

TEST(ModSQLSettings, PartsAfterTheLastReadOneAreIgnored) {
  DbSettings s;
  SetAllSettings(s, Join({"a", "b", "c", "d", "e", "f", "g", "h", "ninth", "tenth"}));
  EXPECT_EQ(s.LocalDatabase, "h");
  SetMainSettings(s, Join({"1", "2", "3", "4", "5"}));
  EXPECT_EQ(s.MainDatabase, "4");
  EXPECT_EQ(s.LocalServer, "e");
}

TEST(ModSQLSettings, MissingPartsEmptyTheirFields) {
  DbSettings s;
  SetAllSettings(s, Join({"a", "b", "c", "d", "e", "f", "g", "h"}));
  SetAllSettings(s, Join({"x", "y", "z", "w", "v"}));
  EXPECT_EQ(s.MainDatabase, "w");
  EXPECT_EQ(s.LocalServer, "v");
  EXPECT_EQ(s.LocalUser, "");
  EXPECT_EQ(s.LocalPassword, "");
  EXPECT_EQ(s.LocalDatabase, "");

  SetMainSettings(s, "");
  EXPECT_EQ(s.MainServer, "");
  EXPECT_EQ(s.MainUser, "");
  EXPECT_EQ(s.MainPassword, "");
  EXPECT_EQ(s.MainDatabase, "");
  EXPECT_EQ(s.LocalServer, "v");
}

TEST(ModSQLSettings, PartsAreStoredAsTheyStand) {
  DbSettings s;
  SetMainSettings(s, Join({" srv ", "a|b", "", "\xE5\xBA\x97 db"}));
  EXPECT_EQ(s.MainServer, " srv ");
  EXPECT_EQ(s.MainUser, "a|b");  // the ASCII bar is no separator
  EXPECT_EQ(s.MainPassword, "");
  EXPECT_EQ(s.MainDatabase, "\xE5\xBA\x97 db");
}

TEST(ModSQLConnString, WorkedExample) {
  DbSettings s;
  SetMainSettings(s, "srv01" + kBar + "clerk" + kBar + kBar + "StoreDB");
  EXPECT_EQ(MainConnString(s),
            "provider='SQLOLEDB';Data Source=srv01;Database=StoreDB;UID=clerk;PWD=;pooling=true;"
            "connection lifetime=0;max pool size=512; Min Pool Size=1;");
  EXPECT_EQ(LocalConnString(s),
            "provider='SQLOLEDB';Data Source=;Database=;UID=;PWD=;pooling=true;"
            "connection lifetime=0;max pool size=512; Min Pool Size=1;");
}

TEST(ModSQLConnString, BeforeAnySettingsEveryValueIsEmpty) {
  const DbSettings s;
  const std::string empty =
      "provider='SQLOLEDB';Data Source=;Database=;UID=;PWD=;pooling=true;connection "
      "lifetime=0;max pool size=512; Min Pool Size=1;";
  EXPECT_EQ(MainConnString(s), empty);
  EXPECT_EQ(LocalConnString(s), empty);
}

TEST(ModSQLConnString, LocalStringUsesTheLocalFieldsAndFollowsChanges) {
  DbSettings s;
  SetAllSettings(s, Join({"a", "b", "c", "d", "lsrv", "luser", "lpwd", "ldb"}));
  EXPECT_EQ(LocalConnString(s),
            "provider='SQLOLEDB';Data Source=lsrv;Database=ldb;UID=luser;PWD=lpwd;pooling=true;"
            "connection lifetime=0;max pool size=512; Min Pool Size=1;");
  SetAllSettings(s, Join({"a", "b", "c", "d", "lsrv2", "luser", "lpwd", "ldb"}));
  EXPECT_NE(LocalConnString(s).find("Data Source=lsrv2;"), std::string::npos);
}

TEST(ModSQLConnString, ValuesThatWouldChangeKeywordsAreQuoted) {
  DbSettings s;
  SetMainSettings(s, Join({"srv", "u", "x;Data Source=evil", "db"}));
  EXPECT_EQ(MainConnString(s),
            "provider='SQLOLEDB';Data Source=srv;Database=db;UID=u;PWD=\"x;Data Source=evil\";"
            "pooling=true;connection lifetime=0;max pool size=512; Min Pool Size=1;");
  SetMainSettings(s, Join({" srv", "u", "p", "db"}));
  EXPECT_NE(MainConnString(s).find("Data Source=\" srv\";"), std::string::npos);
}

}  // namespace
}  // namespace rilo::db
