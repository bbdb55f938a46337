#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "db/DbError.h"
#include "db/sqlite/EngineFolder.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;
using Rows = std::vector<std::vector<std::string>>;

DbError Failure(Session& session, const std::string& sql) {
  try {
    session.Execute(sql);
  } catch (const DbError& e) {
    return e;
  }
  ADD_FAILURE() << "succeeded: " << sql;
  return DbError(DbError::Kind::kUsage, "succeeded");
}

// A local server folder with the store database, and a main server folder with head office.
class LinkedServer : public ::testing::Test {
 protected:
  void SetUp() override {
    local_.Create("Store",
                  "CREATE TABLE 产品类别(ID INTEGER PRIMARY KEY, 产品类别 TEXT);"
                  "INSERT INTO 产品类别 VALUES(1,'旧的');");
    main_.Create("HQ",
                 "CREATE TABLE 产品类别(ID INTEGER PRIMARY KEY, 产品类别 TEXT);"
                 "INSERT INTO 产品类别 VALUES(5,'护肤'),(9,'彩妆');");
    session_ = local_.Open("Store");
  }

  std::string AddLink(const std::string& name = "ITSV") const {
    return "exec sp_addlinkedserver '" + name + "' , '' , 'SQLOLEDB' , '" + main_.DataSource() +
           "'";
  }
  static constexpr const char* kLogin =
      "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , 'clerk' , 'secret'";
  static constexpr const char* kDrop = "exec sp_dropserver 'ITSV' , 'droplogins'";
  static constexpr const char* kCopy =
      " insert into 产品类别(ID,产品类别) select ID,产品类别 from ITSV.HQ.dbo.产品类别";

  EngineFolder local_{"local"};
  EngineFolder main_{"main"};
  std::unique_ptr<Session> session_;
};

TEST_F(LinkedServer, LinkLoginAndDropSucceedInTurn) {
  EXPECT_NO_THROW(session_->Execute(AddLink()));
  EXPECT_NO_THROW(session_->Execute(kLogin));
  EXPECT_NO_THROW(session_->Execute(kDrop));
  EXPECT_NO_THROW(session_->Execute(AddLink()));  // the name is free again
}

TEST_F(LinkedServer, LinkingTwiceFailsWhateverTheCase) {
  session_->Execute(AddLink());
  const DbError e = Failure(*session_, AddLink());
  EXPECT_EQ(e.native_code(), 15028);
  EXPECT_STREQ(e.what(), "The server 'ITSV' already exists.");
  EXPECT_EQ(Failure(*session_, AddLink("itsv")).native_code(), 15028);
}

TEST_F(LinkedServer, DroppingOrLoggingInToAMissingLinkFails) {
  DbError e = Failure(*session_, kDrop);
  EXPECT_EQ(e.native_code(), 15015);
  EXPECT_STREQ(e.what(),
               "The server 'ITSV' does not exist. Use sp_helpserver to show available servers.");
  EXPECT_EQ(Failure(*session_, kLogin).native_code(), 15015);
}

TEST_F(LinkedServer, ProceduresReadArgumentsAsSqlServerDoes) {
  session_->Execute(
      "EXEC SP_ADDLINKEDSERVER @server = N'ITSV', @srvproduct = N'', "
      "@provider = N'SQLOLEDB', @datasrc = N'" +
      main_.DataSource() + "'");
  session_->Execute(kLogin);
  EXPECT_EQ(Failure(*session_, "exec sp_dropserver 'ITSV'").native_code(), 15190);
  EXPECT_EQ(Failure(*session_, "exec sp_dropserver 'ITSV', 'nologins'").native_code(), 15600);
  EXPECT_EQ(Failure(*session_, "exec sp_dropserver @droplogins = 'droplogins'").native_code(), 201);
  EXPECT_EQ(Failure(*session_, "exec sp_dropserver 'ITSV', 'droplogins', 3").native_code(), 8144);
  EXPECT_EQ(Failure(*session_, "exec sp_dropserver @name = 'ITSV'").native_code(), 8145);
  EXPECT_EQ(Failure(*session_, "exec sp_helpserver").native_code(), 2812);
  EXPECT_NO_THROW(
      session_->Execute("execute sp_dropserver @server='itsv', @droplogins='DROPLOGINS'"));
}

TEST_F(LinkedServer, LinkOutlivesItsConnectionAndIsSeenFromAnother) {
  session_->Execute(AddLink());
  session_.reset();
  auto second = local_.Open("Store");
  EXPECT_EQ(Failure(*second, AddLink()).native_code(), 15028);
  EXPECT_NO_THROW(second->Execute(kDrop));
}

TEST_F(LinkedServer, LinkIsSeenFromAnotherProcess) {
  session_->Execute(AddLink());
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    // The child reports by exit code only: 0 when it saw the link and could drop it.
    int code = 1;
    try {
      auto session = local_.Open("Store");
      try {
        session->Execute(AddLink());
        code = 2;  // added again: it did not see the link
      } catch (const DbError& e) {
        if (e.native_code() == 15028) {
          session->Execute(kDrop);
          code = 0;
        }
      }
    } catch (...) {
      code = 3;
    }
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The other process dropped it: here too it is gone.
  EXPECT_EQ(Failure(*session_, kDrop).native_code(), 15015);
}

TEST_F(LinkedServer, FourPartCopyKeepsTheMainIds) {
  session_->Execute(AddLink());
  session_->Execute("DELETE FROM 产品类别");
  session_->Execute("SET IDENTITY_INSERT 产品类别 ON");
  session_->Execute(kCopy);
  session_->Execute("SET IDENTITY_INSERT 产品类别 off");
  EXPECT_EQ(local_.Rows("Store", "select ID, 产品类别 from 产品类别 order by ID"),
            (Rows{{"5", "护肤"}, {"9", "彩妆"}}));
}

TEST_F(LinkedServer, FourPartCopyRolledBackChangesNothing) {
  session_->Execute(AddLink());
  session_->BeginTransaction();
  session_->Execute("DELETE FROM 产品类别");
  session_->Execute("SET IDENTITY_INSERT 产品类别 ON");
  session_->Execute(kCopy);
  session_->Execute("SET IDENTITY_INSERT 产品类别 off");
  session_->Rollback();
  EXPECT_EQ(local_.Rows("Store", "select ID, 产品类别 from 产品类别"), (Rows{{"1", "旧的"}}));
  EXPECT_EQ(main_.Rows("HQ", "select count(*) from 产品类别"), (Rows{{"2"}}));

  // The attached database stays usable after the rollback; a committed run keeps its rows.
  session_->BeginTransaction();
  session_->Execute("DELETE FROM 产品类别");
  session_->Execute(kCopy);
  session_->Commit();
  EXPECT_EQ(local_.Rows("Store", "select ID from 产品类别 order by ID"), (Rows{{"5"}, {"9"}}));
}

TEST_F(LinkedServer, FilteredCopyAndBracketedPartsReadTheSameTable) {
  main_.Exec("HQ",
             "CREATE TABLE 产品信息(ID INTEGER PRIMARY KEY, 所属分店 TEXT);"
             "INSERT INTO 产品信息 VALUES(1,'全部分店'),(2,'中心店'),(3,'东城店');");
  local_.Exec("Store", "CREATE TABLE 产品信息(ID INTEGER PRIMARY KEY, 所属分店 TEXT)");
  session_->Execute(AddLink());
  session_->Execute(
      " insert into 产品信息(ID,所属分店) select ID,所属分店 from "
      "[ITSV].[HQ].[dbo].[产品信息] Where 所属分店='全部分店' or 所属分店 = '中心店'");
  EXPECT_EQ(local_.Rows("Store", "select ID from 产品信息 order by ID"), (Rows{{"1"}, {"2"}}));
}

TEST_F(LinkedServer, UnqualifiedNamesNeverReachTheLinkedDatabase) {
  main_.Exec("HQ",
             "CREATE TABLE 员工信息(ID INTEGER PRIMARY KEY, 员工编号 TEXT);"
             "INSERT INTO 员工信息 VALUES(1,'A01');");
  session_->Execute(AddLink());
  session_->Execute("select count(*) from ITSV.HQ.dbo.员工信息");  // the link is attached now
  // The local database has no 员工信息: SQL Server reports it, and head office keeps its rows.
  DbError e = Failure(*session_, "DELETE FROM 员工信息");
  EXPECT_EQ(e.native_code(), 208);
  EXPECT_STREQ(e.what(), "Invalid object name '员工信息'.");
  EXPECT_EQ(Failure(*session_, "select * from 员工信息").native_code(), 208);
  EXPECT_EQ(
      Failure(*session_, "insert into ITSV.HQ.dbo.员工信息(员工编号) values('x')").native_code(),
      208);
  EXPECT_EQ(main_.Rows("HQ", "select count(*) from 员工信息"), (Rows{{"1"}}));
}

TEST_F(LinkedServer, LinkBackToTheSessionsOwnDatabaseIsNeverRead) {
  session_->Execute("exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '" + local_.DataSource() +
                    "'");
  session_->BeginTransaction();
  session_->Execute("DELETE FROM 产品类别");
  // Read back, the copy would find the table it has just emptied and "succeed" with nothing.
  for (const char* name : {"Store", "store", "[STORE]"}) {
    const DbError e = Failure(*session_, std::string(" insert into 产品类别(ID,产品类别) select "
                                                     "ID,产品类别 from ITSV.") +
                                             name + ".dbo.产品类别");
    EXPECT_NE(std::string(e.what()).find("own database"), std::string::npos) << e.what();
  }
  session_->Rollback();
  EXPECT_EQ(local_.Rows("Store", "select ID, 产品类别 from 产品类别"), (Rows{{"1", "旧的"}}));
}

TEST_F(LinkedServer, ReadingThroughAMissingLinkFailsAsOnSqlServer) {
  const DbError e = Failure(*session_, kCopy);
  EXPECT_EQ(e.native_code(), 7202);
  EXPECT_EQ(std::string(e.what()).rfind("Could not find server 'ITSV' in sys.servers.", 0), 0u);
}

TEST_F(LinkedServer, MissingDatabaseOrTableBehindTheLinkFails) {
  session_->Execute(AddLink());
  DbError e = Failure(*session_, "select * from ITSV.Nowhere.dbo.产品类别");
  EXPECT_EQ(e.native_code(), 4060);
  EXPECT_NE(std::string(e.what()).find("Cannot open database \"Nowhere\""), std::string::npos);
  e = Failure(*session_, "select * from ITSV.HQ.dbo.不存在");
  EXPECT_EQ(e.native_code(), 7314);
  EXPECT_NE(std::string(e.what()).find("\"\"HQ\".\"dbo\".\"不存在\"\""), std::string::npos);
}

TEST_F(LinkedServer, LinkToAServerTheEngineCannotReachFailsClearly) {
  session_->Execute("exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , 'srv01'");
  const DbError e = Failure(*session_, kCopy);
  EXPECT_EQ(e.native_code(), 7399);
  EXPECT_NE(std::string(e.what()).find("srv01"), std::string::npos);
}

}  // namespace
}  // namespace rilo::db
