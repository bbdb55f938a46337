#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "db/StoreTables.h"
#include "schema/SampleRows.h"
#include "schema/TableCatalogue.h"

namespace rilo::schema {
namespace {

std::int64_t Id(const std::vector<SampleRow>& rows) {
  return static_cast<std::int64_t>(rows.size()) + 1;
}

std::int64_t Flag(bool value) { return value ? 1 : 0; }

std::string_view Department(std::string_view category) {
  if (category == "Nails/Hands") return "美甲部";
  if (category == "美发造型") return "美发部";
  if (category == "足疗养生") return "养生部";
  return "美容部";
}

void AddNames(SampleTables& tables, std::string_view table, const std::vector<std::string>& names) {
  auto& rows = tables[table];
  for (const auto& name : names) rows.push_back({{"ID", Id(rows)}, {table, name}});
}

void AddLevels(const SampleModel& model, SampleTables& tables) {
  auto& rows = tables["会员等级"];
  for (const auto& level : model.levels) {
    const auto friends = static_cast<std::int64_t>(rows.size());
    rows.push_back({
        {"ID", Id(rows)},
        {"会员等级", level.name},
        {"服务折扣", level.service_discount},
        {"产品折扣", level.product_discount},
        {"开卡金额", level.opening_amount},
        {"赠送金额", level.bonus_amount},
        {"开卡积分", static_cast<std::int64_t>(level.opening_amount / 10)},
        {"计次金额", HalfUnits(level.opening_amount * 0.3)},
        {"会员成本", HalfUnits(level.opening_amount * 0.05)},
        {"有效周期", std::int64_t{365}},
        {"备注信息", level.store == db::kAllStores ? "" : "本店专属，不可跨店使用"},
        {"亲友人数", friends},
        {"亲友福利", std::min(1.0, level.service_discount + 0.05)},
        {"允许跨店", Flag(level.store == db::kAllStores)},
        {"所属分店", level.store},
        {"续卡方案", friends == 0 ? "原价续卡" : "续卡享九五折"},
        {"升降级方案", "年消费满开卡金额两倍自动升级"},
    });
  }
}

void AddProducts(const SampleModel& model, SampleTables& tables) {
  auto& rows = tables["产品信息"];
  for (const auto& product : model.products) {
    const bool gone = product.store == model.former_store;
    rows.push_back({
        {"ID", Id(rows)},
        {"产品编号", product.number},
        {"产品名称", product.name},
        {"拼音简码", product.code},
        {"产品类型", product.type},
        {"产品品牌", product.brand},
        {"产品单位", product.unit},
        {"进货价格", product.cost},
        {"销售价格", product.price},
        {"允许打折", Flag(true)},
        {"允许销售", Flag(!gone)},
        {"产品状态", gone ? "停售" : "在售"},
        {"备注信息", product.store == db::kAllStores ? "" : "门店自采"},
        {"积分兑换", Flag(product.price < 100)},
        {"所属分店", product.store},
        {"学习基金", HalfUnits(product.price * 0.02)},
    });
  }
}

void AddServices(const SampleModel& model, SampleTables& tables) {
  auto& rows = tables["服务信息"];
  for (const auto& service : model.services) {
    rows.push_back({
        {"ID", Id(rows)},
        {"服务编号", service.number},
        {"服务名称", service.name},
        {"拼音简码", service.code},
        {"服务类型", service.category},
        {"服务单位", service.unit},
        {"服务价格", service.price},
        {"允许打折", Flag(true)},
        {"服务状态", service.store == model.former_store ? "停用" : "正常"},
        {"回访周期", std::int64_t{service.price >= 200 ? 7 : 14}},
        {"提成方式", "按比例"},
        {"提成参数", 0.1},
        {"备注信息", ""},
        {"所属分店", service.store},
        {"学习基金", HalfUnits(service.price * 0.02)},
        {"员工成本", HalfUnits(service.price * 0.3)},
        {"毛巾成本", service.category == "Nails/Hands" ? 0.0 : 2.0},
        {"所属部门", std::string(Department(service.category))},
    });
  }
}

void AddStaff(const SampleModel& model, SampleTables& tables, SampleRandom& random) {
  auto& rows = tables["员工信息"];
  for (const auto& person : model.staff) {
    const double salary = person.position == "店长" ? 6000 : person.bookable ? 3500 : 3000;
    const std::string phone = SamplePhone(random);
    rows.push_back({
        {"ID", Id(rows)},
        {"员工编号", person.number},
        {"员工姓名", person.name},
        {"员工性别", person.sex},
        {"员工职务", person.position},
        {"员工底薪", salary},
        {"服务提成", person.bookable ? 0.1 : 0.0},
        {"产品提成", 0.05},
        {"开卡提成", 0.03},
        {"续卡提成", 0.02},
        {"就职状态", "在职"},
        {"联系电话", phone},
        {"联系地址", fmt::format("杭州市西湖区文三路{}号", 100 + random.Below(400))},
        {"备注信息", ""},
        {"微信号码", "wx" + phone},
        {"所属分店", person.store},
        {"入职日期", SampleDateTime(model.options.business_date, -30 - random.Below(1000), 9, 0)},
        {"允许预约", Flag(person.bookable)},
    });
  }
}

void AddStores(const SampleModel& model, SampleTables& tables, SampleRandom& random) {
  auto& rows = tables["店铺信息"];
  for (const auto& store : model.stores) {
    const auto phone = fmt::format("0571-8{:07}", random.Below(10'000'000));
    rows.push_back({
        {"ID", Id(rows)},
        {"店铺编号", store.number},
        {"店铺名称", store.name},
        {"店铺电话", phone},
        {"店铺传真", phone},
        {"店铺邮编", "310000"},
        {"店铺地址", fmt::format("杭州市上城区解放路{}号", 10 + random.Below(300))},
        {"是否总店", Flag(rows.empty())},
        {"会员跨店", Flag(true)},
        {"学习基金", 0.0},
        {"折旧费", 1500.0},
        {"允许预约", Flag(true)},
    });
  }
}

void AddPackages(const SampleModel& model, SampleTables& tables) {
  auto& rows = tables["计次信息"];
  for (const auto& package : model.packages) {
    rows.push_back({
        {"ID", Id(rows)},
        {"项目编号", package.number},
        {"项目名称", package.name},
        {"会员等级", package.level},
        {"单次价格", package.unit_price},
        {"项目次数", std::int64_t{package.count}},
        {"是否赠送", Flag(false)},
        {"有效周期", std::int64_t{365}},
    });
  }
}

void AddUsers(const SampleModel& model, SampleTables& tables, SampleRandom& random) {
  auto& rows = tables["用户信息"];
  auto add = [&](const std::string& name, std::string_view rights, const std::string& store) {
    rows.push_back({
        {"ID", Id(rows)},
        {"用户编号", fmt::format("U{:03}", rows.size() + 1)},
        {"用户姓名", name},
        // A digest as the store program keeps it, never a readable password.
        {"用户密码", fmt::format("{:08x}{:08x}", random.Below(1 << 30), random.Below(1 << 30))},
        {"用户权限", std::string(rights)},
        {"是否有效", Flag(true)},
        {"微信号码", ""},
        {"是否允许", Flag(true)},
        {"所属分店", store},
    });
  };
  add("系统管理员", "全部权限", std::string(db::kAllStores));
  for (const auto& person : model.staff) {
    if (person.position == "店长") add(person.name, "收银,会员,预约,报表,设置", person.store);
    if (person.position == "前台") add(person.name, "收银,会员,预约", person.store);
  }
}

void AddDiscounts(const SampleModel& model, SampleTables& tables) {
  auto& rows = tables["服务折扣"];
  for (const auto& category : model.service_categories) {
    for (const auto& level : model.levels) {
      if (level.service_discount >= 1) continue;
      rows.push_back({{"ID", Id(rows)},
                      {"服务类别", category},
                      {"会员等级", level.name},
                      {"服务折扣", level.service_discount}});
    }
  }
}

void AddShifts(const SampleModel& model, SampleTables& tables) {
  auto& rows = tables["考勤设置"];
  for (const auto& store : model.stores) {
    rows.push_back({{"ID", Id(rows)},
                    {"考勤科目", "早班"},
                    {"上班时间", "09:00"},
                    {"下班时间", "17:00"},
                    {"弹性时间", std::int64_t{10}},
                    {"所属分店", store.name}});
    rows.push_back({{"ID", Id(rows)},
                    {"考勤科目", "晚班"},
                    {"上班时间", "13:00"},
                    {"下班时间", "21:00"},
                    {"弹性时间", std::int64_t{10}},
                    {"所属分店", store.name}});
  }
}

void AddAccounts(SampleTables& tables) {
  constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kAccounts = {{
      {"收入", "服务收入"},
      {"收入", "产品收入"},
      {"收入", "会员充值"},
      {"支出", "房租"},
      {"支出", "水电费"},
      {"支出", "员工工资"},
      {"支出", "进货支出"},
  }};
  auto& rows = tables["收支科目"];
  for (const auto& [kind, item] : kAccounts) {
    rows.push_back(
        {{"ID", Id(rows)}, {"收支类型", std::string(kind)}, {"收支科目", std::string(item)}});
  }
}

// Only the settings a store actually fills in; the others take their type's empty value.
void AddSettings(const SampleModel& model, SampleTables& tables) {
  auto& rows = tables["系统设置"];
  for (const auto& store : model.stores) {
    rows.push_back({
        {"ID", Id(rows)},
        {"店铺编号", store.number},
        {"消费积分", 1.0},
        {"原价折扣", 1.0},
        {"会员提醒", Flag(true)},
        {"会员密码", Flag(true)},
        {"本店信息", store.name + " 营业时间 09:00-21:00"},
        {"启用打印", Flag(true)},
        {"打印数量", std::int64_t{1}},
        {"打印机", "POS-58"},
        {"小票标题", store.name},
        {"小票结尾一", "谢谢惠顾，欢迎再次光临"},
        {"小票结尾二", "请妥善保管小票"},
        {"办卡短信", "尊敬的{姓名}，您已成功办理{等级}，卡号{卡号}。"},
        {"消费短信", "尊敬的{姓名}，您本次消费{金额}元，卡内余额{余额}元。"},
        {"销售单标题", store.name + "销售单"},
        {"通用服务", "其他服务"},
        {"通用商品", "其他商品"},
        {"自动生成模式", "日期+流水号"},
        {"启用自动生成", Flag(true)},
    });
  }
}

void AddMessages(SampleTables& tables) {
  constexpr std::array<std::string_view, 4> kMessages = {
      "尊敬的会员，您预约的服务将于明天开始，请准时到店。",
      "本周末全场护理项目八八折，欢迎到店体验。",
      "生日快乐！凭短信到店可享生日专属护理一次。",
      "您的会员卡即将到期，续卡可享九五折优惠。",
  };
  auto& rows = tables["常用短信"];
  for (const auto message : kMessages) {
    rows.push_back({{"ID", Id(rows)}, {"短信内容", std::string(message)}});
  }
}

}  // namespace

SampleTables MasterRows(const SampleModel& model, SampleRandom& random) {
  SampleTables tables;
  AddNames(tables, "产品类别", model.product_categories);
  AddNames(tables, "服务类别", model.service_categories);
  auto& positions = tables["员工职务"];
  for (const auto& position : model.positions) {
    const std::string_view group = position == "店长"   ? "管理"
                                   : position == "前台" ? "前台"
                                                        : "技师";
    positions.push_back(
        {{"ID", Id(positions)}, {"员工职务", position}, {"职务归属", std::string(group)}});
  }
  AddLevels(model, tables);
  AddProducts(model, tables);
  AddServices(model, tables);
  AddStaff(model, tables, random);
  AddStores(model, tables, random);
  AddPackages(model, tables);
  AddUsers(model, tables, random);
  AddDiscounts(model, tables);
  AddNames(tables, "服务单位", {"次", "小时", "疗程"});
  AddNames(tables, "产品单位", {"瓶", "盒", "支", "套"});
  AddNames(tables, "产品品牌", {"丽诗", "水韵", "花妍", "雪域", "悦容"});
  AddNames(tables, "供货单位",
           {"广州美源贸易有限公司", "上海雅韵化妆品有限公司", "杭州花间日化有限公司"});
  AddShifts(model, tables);
  AddAccounts(tables);
  AddSettings(model, tables);
  AddMessages(tables);
  return tables;
}

SampleTables StaleMasterRows(const SampleTables& master) {
  SampleTables stale;
  for (const auto& [table, rows] : master) {
    auto& kept = stale[table];
    kept.assign(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>((rows.size() + 1) / 2));
    if (rows.empty()) continue;
    SampleRow retired = rows.back();
    const auto& columns = FindStoreTable(table).columns;
    bool marked = false;
    for (auto& cell : retired) {
      auto& value = cell.second;
      const auto found = std::find_if(columns.begin(), columns.end(),
                                      [&](const Column& c) { return c.name == cell.first; });
      if (found == columns.end()) continue;  // rejected when the rows are written
      if (found->type == ColumnType::kKey) value = std::int64_t{9001};
      auto* text = std::get_if<std::string>(&value);
      const bool is_text = found->type == ColumnType::kText || found->type == ColumnType::kLongText;
      if (text != nullptr && is_text && !marked) {
        *text += "（旧）";
        marked = true;
      }
    }
    kept.push_back(std::move(retired));
  }
  return stale;
}

}  // namespace rilo::schema
