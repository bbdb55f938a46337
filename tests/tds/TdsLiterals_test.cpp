// Text literals on databases whose collation cannot hold every character: what the jobs find
// and copy must not depend on the code page of the database.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/access/OpenSession.h"
#include "jobs/StoreDatabase.h"
#include "jobs/WorkedExample.h"
#include "rilo/SampleChain.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"
#include "tds/TdsServer.h"

namespace rilo::tds::testing {
namespace {

using namespace std::chrono_literals;
using rilo::testing::Appointment;
using rilo::testing::EventKind;
using rilo::testing::StoreDatabase;
using rilo::testing::VirtualServer;

struct Case {
  Collation collation;
  std::string store;  // a store name the collation's code page cannot hold
};

class TdsLiterals : public ::testing::TestWithParam<Case> {
 protected:
  void Serve(const std::filesystem::path& dir) {
    TdsServerOptions options;
    options.engine_dir = dir;
    options.collation = GetParam().collation;
    server_ = std::make_unique<TdsServer>(std::move(options));
  }
  std::vector<std::string> Texts(EventKind kind) const {
    std::vector<std::string> out;
    for (const auto& e : vs_.listener->Of(kind)) out.push_back(e.text);
    return out;
  }
  void TearDown() override {
    if (server_) server_->Stop();
  }

  VirtualServer vs_;
  std::unique_ptr<TdsServer> server_;
};

TEST_P(TdsLiterals, SummaryAndReminderFindTheStoresRows) {
  StoreDatabase db;
  rilo::testing::FillWorkedExample(db);
  db.AddStaff("A03");
  Appointment appointment;
  appointment.store = GetParam().store;
  const auto id = db.AddAppointment(appointment);
  Serve(db.file().parent_path());
  auto server = vs_.Create();

  server->StartServer(ParseAutomationDate("2026-03-08").value(), "Riverside",
                      server_->address() + "｜rilo｜rilo-secret｜HQ", 5000);
  ASSERT_TRUE(vs_.RunUntil([&] { return vs_.listener->Count(EventKind::kServerStart) == 1; }, 20s));
  EXPECT_EQ(Texts(EventKind::kServerStart),
            std::vector<std::string>{std::string(rilo::testing::kWorkedPairList)});

  server->StartServer(ParseAutomationDate("2025-03-08").value(), GetParam().store,
                      server_->address() + "｜rilo｜rilo-secret｜HQ", 3600000);
  vs_.RunFor(70s);
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));
  EXPECT_EQ(Texts(EventKind::kTipsStart).size(), 1u);
  EXPECT_EQ(db.Reminded(id), "1");
}

TEST_P(TdsLiterals, RefreshCopiesTheStoresOwnProducts) {
  const std::filesystem::path dir =
      std::filesystem::path(RILO_TEST_TMPDIR) / "tds-literals" /
      std::to_string(static_cast<int>(GetParam().collation));
  std::filesystem::remove_all(dir);
  schema::SampleChainOptions chain_options;
  chain_options.dir = dir;
  const schema::SampleChain chain = schema::CreateSampleChain(chain_options);
  const auto session = [&](const std::string& database) {
    return db::OpenSession(db::ConnectionString::Parse(
        "Data Source=" + db::QuoteConnectionValue("sqlite:" + dir.string()) +
        ";Database=" + database));
  };
  session(chain.main_database)
      ->Execute("UPDATE 产品信息 SET 所属分店 = '" + GetParam().store +
                "' WHERE 所属分店 <> '全部分店'");
  const auto own_products = [&](const std::string& database) {
    return session(database)
        ->Query("SELECT count(*) FROM 产品信息 WHERE 所属分店 = '" + GetParam().store + "'")
        .rows.at(0)
        .at(0);
  };
  ASSERT_NE(db::ValueToText(own_products(chain.main_database)), "0");
  Serve(dir);
  auto server = vs_.Create();

  const std::string a = server_->address();
  server->StartUpdate(a + "｜rilo｜rilo-secret｜" + chain.main_database + "｜" + a +
                          "｜rilo｜rilo-secret｜" + chain.local_database,
                      kVariantTrue, GetParam().store);
  ASSERT_TRUE(vs_.RunUntil([&] { return vs_.listener->Count(EventKind::kTipsUpdate) == 1; }, 60s));
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));

  EXPECT_EQ(vs_.listener->Of(EventKind::kTipsUpdate).at(0).number, kVariantTrue);
  EXPECT_EQ(db::ValueToText(own_products(chain.local_database)),
            db::ValueToText(own_products(chain.main_database)));
}

// Code page 1252 has no Chinese; GBK has no characters beyond the Basic Multilingual Plane.
INSTANTIATE_TEST_SUITE_P(Collations, TdsLiterals,
                         ::testing::Values(Case{Collation::kLatin1, "中心店"},
                                           Case{Collation::kChinesePrc, "𠮷野家"}),
                         [](const auto& test) {
                           return test.param.collation == Collation::kLatin1
                                      ? std::string("Latin1")
                                      : std::string("ChinesePrc");
                         });

}  // namespace
}  // namespace rilo::tds::testing
