#include <gtest/gtest.h>

#include <string>

#include "db/DbError.h"
#include "tds/TdsFixture.h"

namespace rilo::tds::testing {
namespace {

using db::Decimal;
using db::Null;
using db::Value;

// Each value must reach the client as the embedded engine gave it to the server.
class TdsTypes : public TdsFixture {
 protected:
  void SetUp() override {
    TdsFixture::SetUp();
    CreateDatabase("Shop");
    auto direct = Direct("Shop");
    direct->Execute(
        "CREATE TABLE Sale (ID int PRIMARY KEY, Qty int, Price decimal(18,2), Amount money, "
        "Ratio float, SoldAt datetime, Note nvarchar(4000))");
    direct->Execute(
        "INSERT INTO Sale VALUES "
        "(1, 3, 12.50, 1280.5, 0.25, '2026-03-08 09:15:30', N'门店'), "
        "(2, -7, -0.05, -3.25, -1.5E+15, '1999-12-31 23:59:59.500', N'it''s'), "
        "(3, NULL, NULL, NULL, NULL, NULL, NULL), "
        "(4, 2147483647, 9999999999999999.99, 123456789012.3456, 3.0, '1900-01-01', N''), "
        "(5, 9007199254740993, 0.5, 0, 1E-05, '1899-12-30 08:00:00', N'x')");
    TdsServerOptions options;
    options.money_columns = {"Amount"};
    StartServer(options);
  }

  void ExpectSameBothWays(const std::string& sql) {
    const db::ResultSet expected = Direct("Shop")->Query(sql);
    const db::ResultSet got = Connect("Shop")->Query(sql);
    ASSERT_EQ(got.columns.size(), expected.columns.size()) << sql;
    for (std::size_t c = 0; c < got.columns.size(); ++c) {
      EXPECT_EQ(got.columns[c].name, expected.columns[c].name);
    }
    ASSERT_EQ(got.rows.size(), expected.rows.size()) << sql;
    for (std::size_t r = 0; r < got.rows.size(); ++r) {
      for (std::size_t c = 0; c < got.rows[r].size(); ++c) {
        const Value& want = expected.rows[r][c];
        const Value& have = got.rows[r][c];
        // The engine keeps no declared scale, so "12.5" of decimal(18,2) comes as "12.50",
        // as from SQL Server: the same number and the same text once written out.
        EXPECT_EQ(have.index(), want.index()) << sql << " row " << r << " column " << c;
        EXPECT_EQ(db::ValueToText(have), db::ValueToText(want))
            << sql << " row " << r << " column " << c;
      }
    }
  }
};

TEST_F(TdsTypes, NumbersDecimalsMoneyDatesAndTextArriveUnchanged) {
  ExpectSameBothWays("SELECT ID, Qty, Ratio FROM Sale ORDER BY ID");
  ExpectSameBothWays("SELECT ID, Price, Amount FROM Sale ORDER BY ID");
  ExpectSameBothWays("SELECT ID, SoldAt, Note FROM Sale ORDER BY ID");
}

TEST_F(TdsTypes, ExactDecimalTextAndMoneyPlacesAreKept) {
  const db::ResultSet got =
      Connect("Shop")->Query("SELECT Price, Amount FROM Sale WHERE ID IN (1, 2) ORDER BY ID");
  ASSERT_EQ(got.rows.size(), 2u);
  EXPECT_EQ(got.rows[0][0], Value(Decimal{"12.50"}));
  EXPECT_EQ(got.rows[1][0], Value(Decimal{"-0.05"}));
  // money always has four places
  EXPECT_EQ(got.rows[0][1], Value(Decimal{"1280.5000"}));
  EXPECT_EQ(got.rows[1][1], Value(Decimal{"-3.2500"}));
}

TEST_F(TdsTypes, TextLongerThanFourThousandUnitsComesWhole) {
  std::string long_text;
  for (int i = 0; i < 3000; ++i) long_text += "店a";  // 6000 UTF-16 units
  Direct("Shop")->ExecuteWithParams("UPDATE Sale SET Note = ? WHERE ID = 1",
                                    std::vector<Value>{long_text});
  const db::ResultSet got = Connect("Shop")->Query("SELECT Note FROM Sale WHERE ID = 1");
  ASSERT_EQ(got.rows.size(), 1u);
  EXPECT_EQ(got.rows[0][0], Value(long_text));
}

TEST_F(TdsTypes, MillisecondsDatetimeCannotHoldComeAsDatetime2) {
  const CalendarDateTime fine{2026, 3, 8, 23, 59, 59, 1};
  Direct("Shop")->ExecuteWithParams("UPDATE Sale SET SoldAt = ? WHERE ID = 1",
                                    std::vector<Value>{fine});
  const db::ResultSet got =
      Connect("Shop")->Query("SELECT SoldAt FROM Sale WHERE ID <= 2 ORDER BY ID");
  ASSERT_EQ(got.rows.size(), 2u);
  EXPECT_EQ(got.rows[0][0], Value(fine));
  EXPECT_EQ(got.rows[1][0], Value(CalendarDateTime{1999, 12, 31, 23, 59, 59, 500}));
}

TEST_F(TdsTypes, UseSwitchesTheDatabaseOfTheConnection) {
  CreateDatabase("其他店");
  Direct("其他店")->Execute("CREATE TABLE 只在这里 (ID int PRIMARY KEY)");
  Direct("其他店")->Execute("INSERT INTO 只在这里 VALUES (42)");
  auto session = Connect("Shop");
  EXPECT_THROW(session->Query("SELECT ID FROM 只在这里"), db::DbError);
  session->Execute("USE [其他店]");
  const db::ResultSet got = session->Query("SELECT ID FROM 只在这里");
  ASSERT_EQ(got.rows.size(), 1u);
  EXPECT_EQ(got.rows[0][0], Value(std::int64_t{42}));
  EXPECT_THROW(session->Execute("USE NoSuchShop"), db::DbError);
}

TEST_F(TdsTypes, ValueBeyondItsColumnTypeIsAnErrorNotABrokenStream) {
  Direct("Shop")->Execute("UPDATE Sale SET Amount = 1E+30 WHERE ID = 1");
  auto session = Connect("Shop");
  EXPECT_THROW(session->Query("SELECT Amount FROM Sale ORDER BY ID"), db::DbError);
  EXPECT_EQ(session->Query("SELECT ID FROM Sale WHERE ID = 2").rows.size(), 1u);
}

TEST_F(TdsTypes, EmptyResultStillNamesItsColumns) {
  const db::ResultSet got = Connect("Shop")->Query("SELECT ID, Note FROM Sale WHERE ID = 99");
  ASSERT_EQ(got.columns.size(), 2u);
  EXPECT_EQ(got.columns[1].name, "Note");
  EXPECT_TRUE(got.rows.empty());
}

}  // namespace
}  // namespace rilo::tds::testing
