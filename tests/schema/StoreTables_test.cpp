#include "db/StoreTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Expected {
  std::string_view name;
  std::string_view columns;
  bool filtered;
};

// The copy groups as the refresh statements must name them, in copy order.
// clang-format off
const std::vector<Expected> kExpectedCopyOrder = {
    {"产品类别", "ID,产品类别", false},
    {"服务类别", "ID,服务类别", false},
    {"员工职务", "ID,员工职务,职务归属", false},
    {"会员等级", "ID,会员等级,服务折扣,产品折扣,开卡金额,赠送金额,开卡积分,计次金额,会员成本,有效周期,备注信息,亲友人数,亲友福利,允许跨店,所属分店,续卡方案,升降级方案", false},
    {"产品信息", "ID,产品编号,产品名称,拼音简码,产品类型,产品品牌,产品单位,进货价格,销售价格,允许打折,允许销售,产品状态,备注信息,积分兑换,所属分店,学习基金", true},
    {"服务信息", "ID,服务编号,服务名称,拼音简码,服务类型,服务单位,服务价格,允许打折,服务状态,回访周期,提成方式,提成参数,备注信息,所属分店,学习基金,员工成本,毛巾成本,所属部门", true},
    {"员工信息", "ID,员工编号,员工姓名,员工性别,员工职务,员工底薪,服务提成,产品提成,开卡提成,续卡提成,就职状态,联系电话,联系地址,备注信息,微信号码,所属分店,入职日期,允许预约", false},
    {"店铺信息", "ID,店铺编号,店铺名称,店铺电话,店铺传真,店铺邮编,店铺地址,是否总店,会员跨店,学习基金,折旧费,允许预约", false},
    {"计次信息", "ID,项目编号,项目名称,会员等级,单次价格,项目次数,是否赠送,有效周期", false},
    {"用户信息", "ID,用户编号,用户姓名,用户密码,用户权限,是否有效,微信号码,是否允许,所属分店", false},
    {"服务折扣", "ID,服务类别,会员等级,服务折扣", false},
    {"服务单位", "ID,服务单位", false},
    {"产品单位", "ID,产品单位", false},
    {"产品品牌", "ID,产品品牌", false},
    {"供货单位", "ID,供货单位", false},
    {"考勤设置", "ID,考勤科目,上班时间,下班时间,弹性时间,所属分店", false},
    {"收支科目", "ID,收支类型,收支科目", false},
    {"系统设置", "ID,店铺编号,消费积分,原价折扣,会员提醒,会员密码,本店信息,业绩监控,启用打印,打印数量,打印机,小票标题,小票结尾一,小票结尾二,短信帐号,短信密码,办卡短信,充卡短信,换卡短信,消费短信,短信确认,公众账号,公众密码,语音提示,服务销售平分,还款短信,退卡短信,换积分短信,改密码短信,销售单标题,销售单电话一,销售单电话二,销售单网址,销售单邮箱,销售单地址,销售单备注,销售单打印,销售单预览,客服接口,打印二维码,通用服务,通用商品,启用通用密码,通用密码,自动生成模式,启用自动生成,自动跳号", false},
    {"常用短信", "ID,短信内容", false},
};

const std::vector<std::string_view> kExpectedDeletionOrder = {
    "产品类别", "产品信息", "服务类别", "服务信息", "员工职务", "员工信息", "会员等级",
    "店铺信息", "计次信息", "用户信息", "服务折扣", "服务单位", "产品品牌", "产品单位",
    "供货单位", "考勤设置", "收支科目", "系统设置", "常用短信",
};
// clang-format on

TEST(StoreTables, CopyOrderNamesEveryTableWithItsExactColumnList) {
  const auto tables = rilo::db::MasterTablesInCopyOrder();
  ASSERT_EQ(tables.size(), kExpectedCopyOrder.size());
  for (std::size_t i = 0; i < tables.size(); ++i) {
    SCOPED_TRACE(std::string(kExpectedCopyOrder[i].name));
    EXPECT_EQ(tables[i].name, kExpectedCopyOrder[i].name);
    EXPECT_EQ(tables[i].columns, kExpectedCopyOrder[i].columns);
    EXPECT_EQ(tables[i].filtered_by_store, kExpectedCopyOrder[i].filtered);
  }
}

TEST(StoreTables, ColumnCountsMatchTheTableDescriptions) {
  // The table descriptions give a column count per table; a lost or doubled comma shows here.
  const std::vector<std::size_t> counts = {2, 2, 3, 17, 16, 18, 18, 12, 8, 9,
                                           4, 2, 2, 2,  2,  6,  3,  47, 2};
  const auto tables = rilo::db::MasterTablesInCopyOrder();
  ASSERT_EQ(tables.size(), counts.size());
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const auto columns = tables[i].columns;
    const auto commas = static_cast<std::size_t>(std::count(columns.begin(), columns.end(), ','));
    EXPECT_EQ(commas + 1, counts[i]) << tables[i].name;
    EXPECT_TRUE(columns.starts_with("ID,")) << tables[i].name;
    EXPECT_EQ(columns.find(' '), std::string_view::npos) << tables[i].name;
    EXPECT_EQ(columns.find(",,"), std::string_view::npos) << tables[i].name;
  }
}

TEST(StoreTables, DeletionOrderIsItsOwnOrderOfTheSameNineteenTables) {
  const auto deletion = rilo::db::MasterTablesInDeletionOrder();
  ASSERT_EQ(deletion.size(), kExpectedDeletionOrder.size());
  for (std::size_t i = 0; i < deletion.size(); ++i) {
    EXPECT_EQ(deletion[i], kExpectedDeletionOrder[i]) << "position " << i;
  }

  std::set<std::string_view> copied;
  for (const auto& table : rilo::db::MasterTablesInCopyOrder()) copied.insert(table.name);
  const std::set<std::string_view> deleted(deletion.begin(), deletion.end());
  EXPECT_EQ(copied.size(), 19u);
  EXPECT_EQ(copied, deleted);
}

TEST(StoreTables, OnlyProductsAndServicesAreFilteredByStore) {
  std::vector<std::string_view> filtered;
  for (const auto& table : rilo::db::MasterTablesInCopyOrder()) {
    if (table.filtered_by_store) filtered.push_back(table.name);
  }
  EXPECT_EQ(filtered, (std::vector<std::string_view>{"产品信息", "服务信息"}));
  EXPECT_EQ(rilo::db::kAllStores, "全部分店");
}

}  // namespace
