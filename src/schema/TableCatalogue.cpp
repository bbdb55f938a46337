#include "schema/TableCatalogue.h"

#include <map>
#include <stdexcept>
#include <string>

#include "db/StoreTables.h"

namespace rilo::schema {
namespace {

using enum ColumnType;

// The master tables' column names and their order come from the copy lists; only the types
// are given here. A name means the same thing in every master table that has it (服务折扣 is
// a rate in 会员等级 and in the table 服务折扣), so one entry per name is enough.
const std::map<std::string_view, ColumnType>& MasterColumnTypes() {
  static const std::map<std::string_view, ColumnType> types = {
      {"ID", kKey},
      // Names, numbers and codes.
      {"产品类别", kText},
      {"服务类别", kText},
      {"员工职务", kText},
      {"职务归属", kText},
      {"会员等级", kText},
      {"所属分店", kText},
      {"续卡方案", kText},
      {"升降级方案", kText},
      {"产品编号", kText},
      {"产品名称", kText},
      {"拼音简码", kText},
      {"产品类型", kText},
      {"产品品牌", kText},
      {"产品单位", kText},
      {"产品状态", kText},
      {"服务编号", kText},
      {"服务名称", kText},
      {"服务类型", kText},
      {"服务单位", kText},
      {"服务状态", kText},
      {"提成方式", kText},
      {"所属部门", kText},
      {"员工编号", kText},
      {"员工姓名", kText},
      {"员工性别", kText},
      {"就职状态", kText},
      {"联系电话", kText},
      {"微信号码", kText},
      {"店铺编号", kText},
      {"店铺名称", kText},
      {"店铺电话", kText},
      {"店铺传真", kText},
      {"店铺邮编", kText},
      {"项目编号", kText},
      {"项目名称", kText},
      {"用户编号", kText},
      {"用户姓名", kText},
      {"用户密码", kText},
      {"供货单位", kText},
      {"考勤科目", kText},
      {"收支类型", kText},
      {"收支科目", kText},
      {"打印机", kText},
      {"小票标题", kText},
      {"短信帐号", kText},
      {"短信密码", kText},
      {"公众账号", kText},
      {"公众密码", kText},
      {"销售单标题", kText},
      {"销售单电话一", kText},
      {"销售单电话二", kText},
      {"销售单网址", kText},
      {"销售单邮箱", kText},
      {"客服接口", kText},
      {"通用服务", kText},
      {"通用商品", kText},
      {"通用密码", kText},
      {"自动生成模式", kText},
      // Free texts.
      {"备注信息", kLongText},
      {"联系地址", kLongText},
      {"店铺地址", kLongText},
      {"用户权限", kLongText},
      {"本店信息", kLongText},
      {"小票结尾一", kLongText},
      {"小票结尾二", kLongText},
      {"办卡短信", kLongText},
      {"充卡短信", kLongText},
      {"换卡短信", kLongText},
      {"消费短信", kLongText},
      {"还款短信", kLongText},
      {"退卡短信", kLongText},
      {"换积分短信", kLongText},
      {"改密码短信", kLongText},
      {"销售单地址", kLongText},
      {"销售单备注", kLongText},
      {"短信内容", kLongText},
      // Amounts.
      {"开卡金额", kMoney},
      {"赠送金额", kMoney},
      {"计次金额", kMoney},
      {"会员成本", kMoney},
      {"进货价格", kMoney},
      {"销售价格", kMoney},
      {"学习基金", kMoney},
      {"服务价格", kMoney},
      {"员工成本", kMoney},
      {"毛巾成本", kMoney},
      {"员工底薪", kMoney},
      {"折旧费", kMoney},
      {"单次价格", kMoney},
      // Ratios.
      {"服务折扣", kRate},
      {"产品折扣", kRate},
      {"亲友福利", kRate},
      {"提成参数", kRate},
      {"服务提成", kRate},
      {"产品提成", kRate},
      {"开卡提成", kRate},
      {"续卡提成", kRate},
      {"消费积分", kRate},
      {"原价折扣", kRate},
      // Counts and periods (days or minutes).
      {"开卡积分", kInteger},
      {"有效周期", kInteger},
      {"亲友人数", kInteger},
      {"回访周期", kInteger},
      {"项目次数", kInteger},
      {"弹性时间", kInteger},
      {"打印数量", kInteger},
      // Yes or no.
      {"允许跨店", kFlag},
      {"允许打折", kFlag},
      {"允许销售", kFlag},
      {"积分兑换", kFlag},
      {"允许预约", kFlag},
      {"是否总店", kFlag},
      {"会员跨店", kFlag},
      {"是否赠送", kFlag},
      {"是否有效", kFlag},
      {"是否允许", kFlag},
      {"会员提醒", kFlag},
      {"会员密码", kFlag},
      {"业绩监控", kFlag},
      {"启用打印", kFlag},
      {"短信确认", kFlag},
      {"语音提示", kFlag},
      {"服务销售平分", kFlag},
      {"销售单打印", kFlag},
      {"销售单预览", kFlag},
      {"打印二维码", kFlag},
      {"启用通用密码", kFlag},
      {"启用自动生成", kFlag},
      {"自动跳号", kFlag},
      // Dates and times.
      {"入职日期", kDateTime},
      {"上班时间", kTime},
      {"下班时间", kTime},
  };
  return types;
}

StoreTable MasterTable(const db::MasterTable& table) {
  StoreTable result{table.name, {}, true};
  std::string_view rest = table.columns;
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    const std::string_view name = rest.substr(0, comma);
    const auto type = MasterColumnTypes().find(name);
    if (type == MasterColumnTypes().end()) {
      throw std::logic_error("no column type for " + std::string(table.name) + "." +
                             std::string(name));
    }
    result.columns.push_back({name, type->second});
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
  }
  return result;
}

std::vector<StoreTable> BuildCatalogue() {
  std::vector<StoreTable> tables;
  for (const auto& table : db::MasterTablesInCopyOrder()) tables.push_back(MasterTable(table));

  // The transaction tables: the columns the server reads, and a few that give the rows their
  // meaning. Each has an ID key too, so a row can be written back.
  tables.push_back({"销售详情",
                    {{"ID", kKey},
                     {"销售单号", kText},
                     {"销售类型", kText},
                     {"项目类型", kText},
                     {"项目名称", kText},
                     {"售价", kMoney},
                     {"消费日期", kDateTime},
                     {"所属分店", kText}}});
  tables.push_back({"会员记录",
                    {{"ID", kKey},
                     {"会员卡号", kText},
                     {"会员姓名", kText},
                     {"操作类型", kText},
                     {"消费金额", kMoney},
                     {"办理日期", kDateTime},
                     {"所属分店", kText}}});
  tables.push_back({"服务预约",
                    {{"ID", kKey},
                     {"顾客姓名", kText},
                     {"顾客电话", kText},
                     {"预约员工", kText},
                     {"预约项目", kText},
                     {"预约日期", kDateTime},
                     {"预约状态", kText},
                     {"预约提醒", kInteger, true},
                     {"所属分店", kText}}});
  return tables;
}

}  // namespace

const std::vector<StoreTable>& StoreTableCatalogue() {
  static const std::vector<StoreTable> catalogue = BuildCatalogue();
  return catalogue;
}

const StoreTable& FindStoreTable(std::string_view name) {
  for (const auto& table : StoreTableCatalogue()) {
    if (table.name == name) return table;
  }
  throw std::out_of_range("no store table " + std::string(name));
}

}  // namespace rilo::schema
