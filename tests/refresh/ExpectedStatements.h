// The refresh statements as the store's database administrators know them, written out here
// independently of the table catalogue, so a slip in either shows.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace rilo::refresh::testing {

struct CopyGroup {
  std::string_view table;
  std::string_view columns;
  bool filtered;
};

inline constexpr std::array<std::string_view, 19> kDeletionOrder = {
    "产品类别", "产品信息", "服务类别", "服务信息", "员工职务", "员工信息", "会员等级",
    "店铺信息", "计次信息", "用户信息", "服务折扣", "服务单位", "产品品牌", "产品单位",
    "供货单位", "考勤设置", "收支科目", "系统设置", "常用短信"};

inline constexpr std::array<CopyGroup, 19> kCopyGroups = {{
    {"产品类别", "ID,产品类别", false},
    {"服务类别", "ID,服务类别", false},
    {"员工职务", "ID,员工职务,职务归属", false},
    {"会员等级",
     "ID,会员等级,服务折扣,产品折扣,开卡金额,赠送金额,开卡积分,计次金额,会员成本,有效周期,备注信息,"
     "亲友人数,亲友福利,允许跨店,所属分店,续卡方案,升降级方案",
     false},
    {"产品信息",
     "ID,产品编号,产品名称,拼音简码,产品类型,产品品牌,产品单位,进货价格,销售价格,允许打折,允许销售,"
     "产品状态,备注信息,积分兑换,所属分店,学习基金",
     true},
    {"服务信息",
     "ID,服务编号,服务名称,拼音简码,服务类型,服务单位,服务价格,允许打折,服务状态,回访周期,提成方式,"
     "提成参数,备注信息,所属分店,学习基金,员工成本,毛巾成本,所属部门",
     true},
    {"员工信息",
     "ID,员工编号,员工姓名,员工性别,员工职务,员工底薪,服务提成,产品提成,开卡提成,续卡提成,就职状态,"
     "联系电话,联系地址,备注信息,微信号码,所属分店,入职日期,允许预约",
     false},
    {"店铺信息",
     "ID,店铺编号,店铺名称,店铺电话,店铺传真,店铺邮编,店铺地址,是否总店,会员跨店,学习基金,折旧费,"
     "允许预约",
     false},
    {"计次信息", "ID,项目编号,项目名称,会员等级,单次价格,项目次数,是否赠送,有效周期", false},
    {"用户信息", "ID,用户编号,用户姓名,用户密码,用户权限,是否有效,微信号码,是否允许,所属分店",
     false},
    {"服务折扣", "ID,服务类别,会员等级,服务折扣", false},
    {"服务单位", "ID,服务单位", false},
    {"产品单位", "ID,产品单位", false},
    {"产品品牌", "ID,产品品牌", false},
    {"供货单位", "ID,供货单位", false},
    {"考勤设置", "ID,考勤科目,上班时间,下班时间,弹性时间,所属分店", false},
    {"收支科目", "ID,收支类型,收支科目", false},
    {"系统设置",
     "ID,店铺编号,消费积分,原价折扣,会员提醒,会员密码,本店信息,业绩监控,启用打印,打印数量,打印机,"
     "小票标题,小票结尾一,小票结尾二,短信帐号,短信密码,办卡短信,充卡短信,换卡短信,消费短信,"
     "短信确认,"
     "公众账号,公众密码,语音提示,服务销售平分,还款短信,退卡短信,换积分短信,改密码短信,销售单标题,"
     "销售单电话一,销售单电话二,销售单网址,销售单邮箱,销售单地址,销售单备注,销售单打印,销售单预览,"
     "客服接口,打印二维码,通用服务,通用商品,启用通用密码,通用密码,自动生成模式,启用自动生成,"
     "自动跳号",
     false},
    {"常用短信", "ID,短信内容", false},
}};

/// The 76 statements for a main database written `database` in the four-part name and a
/// store name already escaped for its literal.
inline std::vector<std::string> ExpectedBatch(const std::string& database,
                                              const std::string& escaped_store) {
  std::vector<std::string> out;
  for (auto table : kDeletionOrder) out.push_back("DELETE FROM " + std::string(table));
  for (const auto& g : kCopyGroups) {
    const std::string t(g.table);
    const std::string c(g.columns);
    out.push_back("SET IDENTITY_INSERT " + t + " ON");
    std::string copy =
        " insert into " + t + "(" + c + ") select " + c + " from ITSV." + database + ".dbo." + t;
    if (g.filtered) copy += " Where 所属分店='全部分店' or 所属分店 = '" + escaped_store + "'";
    out.push_back(copy);
    out.push_back("SET IDENTITY_INSERT " + t + " off");
  }
  return out;
}

}  // namespace rilo::refresh::testing
