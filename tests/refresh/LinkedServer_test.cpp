#include "refresh/LinkedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "component/Instance.h"
#include "db/ModSQL.h"
#include "refresh/RefreshFixture.h"
#include "support/VirtualServer.h"

namespace rilo::refresh {
namespace {

using std::chrono::milliseconds;
using testing::Chain;
using testing::StatementLog;

const std::string kAddServerPrefix = "exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '";
const std::string kUnlink = "exec sp_dropserver 'ITSV' , 'droplogins'";

// A bare instance on a virtual clock, with the chain's settings stored.
struct Linking {
  explicit Linking(const Chain& chain, std::shared_ptr<DiagnosticsSink> sink = nullptr)
      : server(std::move(sink)), self(server.CreateInstance({})) {
    db::SetAllSettings(self->settings(), chain.settings());
  }
  milliseconds Timed(const std::function<void()>& fn) {
    const auto start = server.clock->Now();
    fn();
    return std::chrono::duration_cast<milliseconds>(server.clock->Now() - start);
  }
  rilo::testing::VirtualServer server;
  std::shared_ptr<component::Instance> self;
};

std::size_t RowsThroughLink(const Chain& chain, const std::string& table) {
  const auto rows =
      testing::Rows(chain.source(), chain.info.local_database,
                    "SELECT count(*) FROM ITSV." + chain.info.main_database + ".dbo." + table);
  return rows.empty() ? 0 : std::stoul(rows[0]);
}

TEST(LinkMainServer, SendsTheTwoStatementsAndPausesAfterEach) {
  Chain chain("link");
  Linking run(chain);
  db::SetAllSettings(run.self->settings(),
                     testing::Settings(chain.source(), "clerk", "s3cret", chain.info.main_database,
                                       chain.source(), chain.info.local_database));
  StatementLog log(run.server);

  EXPECT_EQ(run.Timed([&] { LinkMainServer(*run.self); }), milliseconds(2));
  EXPECT_EQ(log.executed,
            (std::vector<std::string>{
                kAddServerPrefix + chain.source() + "'",
                "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , 'clerk' , 's3cret'"}));
  EXPECT_EQ(log.opened.size(), 1u);
  EXPECT_GT(RowsThroughLink(chain, "产品类别"), 0u);
}

TEST(UnlinkMainServer, DropsTheLinkWithoutPausing) {
  Chain chain("unlink");
  Linking run(chain);
  LinkMainServer(*run.self);
  StatementLog log(run.server);

  EXPECT_EQ(run.Timed([&] { UnlinkMainServer(*run.self); }), milliseconds(0));
  EXPECT_EQ(log.executed, std::vector<std::string>{kUnlink});
  EXPECT_THROW(RowsThroughLink(chain, "产品类别"), db::DbError);
}

TEST(UnlinkMainServer, ReturnsQuietlyWhenThereIsNoLink) {
  Chain chain("unlink-none");
  Linking run(chain);
  StatementLog log(run.server);
  EXPECT_NO_THROW(UnlinkMainServer(*run.self));
  EXPECT_EQ(log.executed, std::vector<std::string>{kUnlink});
}

TEST(LinkMainServer, EmptyPasswordStillEndsWithItsPairOfApostrophes) {
  Chain chain("link-empty-pw");
  Linking run(chain);
  db::SetAllSettings(run.self->settings(),
                     testing::Settings(chain.source(), "clerk", "", chain.info.main_database,
                                       chain.source(), chain.info.local_database));
  StatementLog log(run.server);
  LinkMainServer(*run.self);
  ASSERT_EQ(log.executed.size(), 2u);
  EXPECT_TRUE(log.executed[1].ends_with("null , 'clerk' , ''"));
}

TEST(LinkMainServer, ApostrophesInServerLoginAndPasswordStayInsideTheirLiterals) {
  Chain chain("it's");  // the main server's folder name holds an apostrophe
  Linking run(chain);
  db::SetAllSettings(run.self->settings(),
                     testing::Settings(chain.source(), "o'neil", "pa'ss", chain.info.main_database,
                                       chain.source(), chain.info.local_database));
  StatementLog log(run.server);
  LinkMainServer(*run.self);

  std::string escaped_source = chain.source();
  escaped_source.replace(escaped_source.find('\''), 1, "''");
  EXPECT_EQ(log.executed,
            (std::vector<std::string>{
                kAddServerPrefix + escaped_source + "'",
                "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , 'o''neil' , 'pa''ss'"}));
  EXPECT_GT(RowsThroughLink(chain, "产品类别"), 0u);
}

TEST(LinkMainServer, ReplacesAStaleLinkSoTheRunReadsTheCurrentMainServer) {
  Chain local("stale-local");  // its HQ is the server a killed run linked
  Chain current("stale-current", 7);
  testing::Execute(current.source(), current.info.main_database,
                   "INSERT INTO 常用短信(ID, 短信内容) VALUES (990001, 'current head office')");
  // Left over from an earlier run: ITSV names the old main server.
  testing::Execute(local.source(), local.info.local_database,
                   kAddServerPrefix + local.source() + "'");

  Linking run(local);
  db::SetAllSettings(run.self->settings(),
                     testing::Settings(current.source(), "", "", current.info.main_database,
                                       local.source(), local.info.local_database));
  StatementLog log(run.server);
  EXPECT_EQ(run.Timed([&] { LinkMainServer(*run.self); }), milliseconds(2));

  EXPECT_EQ(log.executed, (std::vector<std::string>{
                              kAddServerPrefix + current.source() + "'", kUnlink,
                              kAddServerPrefix + current.source() + "'",
                              "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , '' , ''"}));
  const auto marker = testing::Rows(local.source(), local.info.local_database,
                                    "SELECT 短信内容 FROM ITSV." + current.info.main_database +
                                        ".dbo.常用短信 WHERE ID = 990001");
  EXPECT_EQ(marker, std::vector<std::string>{"current head office"});
}

TEST(LinkMainServer, FailingStatementEndsTheRoutineWithoutItsPause) {
  Chain chain("link-fail");
  {
    Linking run(chain);
    StatementLog log(run.server);
    log.on_execute = [](int n, std::string_view) {
      if (n == 1) throw testing::InjectedFailure();
    };
    EXPECT_EQ(run.Timed([&] { LinkMainServer(*run.self); }), milliseconds(0));
    EXPECT_EQ(log.executed.size(), 1u);
  }
  {
    Linking run(chain);
    StatementLog log(run.server);
    log.on_execute = [](int n, std::string_view) {
      if (n == 2) throw testing::InjectedFailure();
    };
    EXPECT_EQ(run.Timed([&] { LinkMainServer(*run.self); }), milliseconds(1));
    EXPECT_EQ(log.executed.size(), 2u);
    // Nothing already done is undone: the server stays registered until the unlink.
    UnlinkMainServer(*run.self);
    EXPECT_EQ(log.executed.back(), kUnlink);
  }
}

TEST(LinkMainServer, LocalDatabaseThatCannotOpenRunsNothing) {
  Chain chain("link-no-local");
  Linking run(chain);
  db::SetAllSettings(run.self->settings(),
                     testing::Settings(chain.source(), "", "", chain.info.main_database,
                                       chain.source(), "NoSuchStore"));
  StatementLog log(run.server);
  EXPECT_EQ(run.Timed([&] { LinkMainServer(*run.self); }), milliseconds(0));
  EXPECT_NO_THROW(UnlinkMainServer(*run.self));
  EXPECT_TRUE(log.executed.empty());
  EXPECT_EQ(log.opened.size(), 2u);
}

TEST(LinkMainServer, PasswordNeverReachesTheDiagnostics) {
  Chain chain("link-diag");
  auto sink = std::make_shared<testing::RecordingSink>();
  Linking run(chain, sink);
  db::SetAllSettings(
      run.self->settings(),
      testing::Settings(chain.source(), "clerk", "Tr0ub4dor'x", chain.info.main_database,
                        chain.source(), chain.info.local_database));
  StatementLog log(run.server);
  // An engine that echoes the statement it refuses.
  log.on_execute = [](int n, std::string_view text) {
    if (n == 2) {
      throw db::DbError(db::DbError::Kind::kEngine, "refused: " + std::string(text), "42000", 102);
    }
  };
  LinkMainServer(*run.self);

  ASSERT_FALSE(sink->lines.empty());
  for (const auto& line : sink->lines) {
    EXPECT_EQ(line.find("Tr0ub4dor"), std::string::npos) << line;
  }
  EXPECT_NE(sink->lines.back().find("***"), std::string::npos);
  EXPECT_NE(sink->lines.back().find("link statement 2"), std::string::npos);
}

}  // namespace
}  // namespace rilo::refresh
