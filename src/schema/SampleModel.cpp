#include "schema/SampleModel.h"

#include <fmt/format.h>

#include <array>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "db/StoreTables.h"

namespace rilo::schema {
namespace {

constexpr std::array<std::string_view, 20> kFamilyNames = {
    "李", "王", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴",
    "徐", "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗",
};
constexpr std::array<std::string_view, 16> kGivenNames = {
    "晓燕", "丽娜", "静",   "敏",   "婷婷", "雪",   "芳",   "秀英",
    "俊",   "浩然", "子涵", "欣怡", "梦琪", "雨桐", "建华", "志强",
};

std::string FullName(SampleRandom& random) {
  return std::string(random.Pick(kFamilyNames)) + std::string(random.Pick(kGivenNames));
}

struct ServiceTemplate {
  std::string_view name;
  std::string_view code;  // pinyin initials
  std::string_view category;
  std::string_view unit;
  double price;
};

// Services every store offers; the categories are the 服务类别 rows in ID order.
constexpr std::array<std::string_view, 5> kServiceCategories = {
    "面部护理", "身体护理", "Nails/Hands", "美发造型", "足疗养生"};
constexpr std::array<ServiceTemplate, 13> kChainServices = {{
    {"深层补水护理", "SCBSHL", "面部护理", "次", 198},
    {"美白焕颜护理", "MBHYHL", "面部护理", "次", 268},
    {"经典面部清洁", "JDMBQJ", "面部护理", "次", 128},
    {"精油全身按摩", "JYQSAM", "身体护理", "小时", 298},
    {"肩颈舒缓护理", "JJSHHL", "身体护理", "次", 168},
    {"基础修甲", "JCXJ", "Nails/Hands", "次", 68},
    {"法式美甲", "FSMJ", "Nails/Hands", "次", 128.5},
    {"手部滋润护理", "SBZRHL", "Nails/Hands", "次", 88},
    {"精剪造型", "JJZX", "美发造型", "次", 88},
    {"烫发", "TF", "美发造型", "次", 380},
    {"染发", "RF", "美发造型", "次", 328},
    {"中式足疗", "ZSZL", "足疗养生", "小时", 128},
    {"艾灸养生", "AJYS", "足疗养生", "疗程", 158},
}};
// A store's own services, two per store in turn.
constexpr std::array<ServiceTemplate, 6> kStoreServices = {{
    {"招牌头疗", "ZPTL", "美发造型", "次", 198},
    {"玫瑰精油SPA", "MGJYSPA", "身体护理", "小时", 358},
    {"水晶美甲", "SJMJ", "Nails/Hands", "次", 168},
    {"古法刮痧", "GFGS", "足疗养生", "次", 138},
    {"小气泡清洁", "XQPQJ", "面部护理", "次", 158},
    {"热石理疗", "RSLL", "身体护理", "小时", 268},
}};

struct ProductTemplate {
  std::string_view name;
  std::string_view code;
  std::string_view type;
  std::string_view brand;
  std::string_view unit;
  double cost;
  double price;
};

constexpr std::array<std::string_view, 4> kProductCategories = {"护肤品", "美发用品", "美甲用品",
                                                                "身体护理品"};
constexpr std::array<ProductTemplate, 8> kChainProducts = {{
    {"玻尿酸补水面膜", "BNSBSMM", "护肤品", "水韵", "盒", 45, 98},
    {"氨基酸洁面乳", "AJSJMR", "护肤品", "丽诗", "支", 28, 68},
    {"烟酰胺精华液", "YXAJHY", "护肤品", "花妍", "瓶", 96, 239},
    {"修护洗发水", "XHXFS", "美发用品", "悦容", "瓶", 35, 88},
    {"护色护发素", "HSHFS", "美发用品", "悦容", "瓶", 32, 78.5},
    {"指缘营养油", "ZYYYY", "美甲用品", "花妍", "瓶", 12, 39},
    {"持久甲油胶", "CJJYJ", "美甲用品", "雪域", "瓶", 15, 45.5},
    {"玫瑰身体乳", "MGSTR", "身体护理品", "丽诗", "瓶", 42, 128},
}};
constexpr std::array<ProductTemplate, 3> kStoreProducts = {{
    {"限定护手霜礼盒", "XDHSSLH", "身体护理品", "花妍", "盒", 55, 136},
    {"门店定制香薰", "MDDZXX", "身体护理品", "丽诗", "瓶", 38, 99},
    {"节日美甲贴", "JRMJT", "美甲用品", "雪域", "套", 8, 29.5},
}};

struct PositionTemplate {
  std::string_view position;
  bool bookable;
};
constexpr std::array<PositionTemplate, 6> kStorePositions = {{
    {"店长", false},
    {"美容师", true},
    {"美甲师", true},
    {"发型师", true},
    {"足疗师", true},
    {"前台", false},
}};

}  // namespace

std::string SampleCustomerName(SampleRandom& random) {
  if (random.Chance(60)) return FullName(random);
  return std::string(random.Pick(kFamilyNames)) + (random.Chance(70) ? "女士" : "先生");
}

std::string SamplePhone(SampleRandom& random) {
  constexpr std::array<char, 4> kSecondDigits = {'3', '5', '8', '9'};
  std::string phone = {'1', random.Pick(kSecondDigits)};
  for (int i = 0; i < 9; ++i) phone += static_cast<char>('0' + random.Below(10));
  return phone;
}

std::string SampleDateTime(AutomationDate date, int day_offset, int hour, int minute) {
  using namespace std::chrono;
  // The whole part counts days from 1899-12-30, also backwards; the fraction is the time.
  const auto whole_days = static_cast<int>(std::trunc(date));
  const year_month_day day{sys_days{1899y / December / 30} + days{whole_days + day_offset}};
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:00", static_cast<int>(day.year()),
                     static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()), hour,
                     minute);
}

double HalfUnits(double amount) { return std::round(amount * 2) / 2; }

SampleModel BuildSampleModel(const SampleChainOptions& options, SampleRandom& random) {
  if (options.stores.size() > 26) {
    throw std::invalid_argument("the sample chain has at most 26 stores");
  }
  SampleModel model;
  model.options = options;
  for (std::size_t i = 0; i < options.stores.size(); ++i) {
    model.stores.push_back({options.stores[i], fmt::format("D{:02}", i + 1),
                            static_cast<char>('A' + static_cast<int>(i))});
  }
  model.former_store = "老城店";
  for (const auto& store : options.stores) {
    if (store == model.former_store) model.former_store += "（旧址）";
  }
  const std::string all_stores(db::kAllStores);

  model.service_categories.assign(kServiceCategories.begin(), kServiceCategories.end());
  model.product_categories.assign(kProductCategories.begin(), kProductCategories.end());
  for (const auto& position : kStorePositions) model.positions.emplace_back(position.position);

  model.levels = {
      {"普通卡", 1.0, 1.0, 500, 0, all_stores},
      {"银卡", 0.95, 0.98, 1000, 100, all_stores},
      {"金卡", 0.88, 0.95, 3000, 500, all_stores},
      {"钻石卡", 0.8, 0.9, 10000, 2000, all_stores},
  };
  if (!model.stores.empty()) {
    model.levels.push_back(
        {model.stores[0].name + "尊享卡", 0.75, 0.88, 20000, 5000, model.stores[0].name});
  }

  auto add_service = [&](const ServiceTemplate& t, const std::string& store) {
    model.services.push_back({fmt::format("FW{:03}", model.services.size() + 1),
                              std::string(t.name), std::string(t.code), std::string(t.category),
                              std::string(t.unit), t.price, store});
  };
  for (const auto& service : kChainServices) add_service(service, all_stores);
  for (std::size_t i = 0; i < model.stores.size(); ++i) {
    add_service(kStoreServices[(2 * i) % kStoreServices.size()], model.stores[i].name);
    add_service(kStoreServices[(2 * i + 1) % kStoreServices.size()], model.stores[i].name);
  }
  add_service({"经络推拿", "JLTN", "足疗养生", "次", 188}, model.former_store);

  auto add_product = [&](const ProductTemplate& t, const std::string& store) {
    model.products.push_back({fmt::format("CP{:03}", model.products.size() + 1),
                              std::string(t.name), std::string(t.code), std::string(t.type),
                              std::string(t.brand), std::string(t.unit), t.cost, t.price, store});
  };
  for (const auto& product : kChainProducts) add_product(product, all_stores);
  for (std::size_t i = 0; i < model.stores.size(); ++i) {
    add_product(kStoreProducts[i % kStoreProducts.size()], model.stores[i].name);
  }
  add_product({"旧款洗护套装", "JKXHTZ", "美发用品", "悦容", "套", 60, 158}, model.former_store);

  model.packages = {
      {"JC001", "面部补水10次卡", "面部护理", "普通卡", 98, 10},
      {"JC002", "肩颈护理12次卡", "身体护理", "银卡", 138, 12},
      {"JC003", "美甲护理6次卡", "Nails/Hands", "普通卡", 58, 6},
      {"JC004", "足疗养生20次卡", "足疗养生", "金卡", 108, 20},
      {"JC005", "头皮护理8次卡", "美发造型", "普通卡", 78, 8},
  };

  for (const auto& store : model.stores) {
    for (std::size_t i = 0; i < kStorePositions.size(); ++i) {
      model.staff.push_back({fmt::format("{}{:02}", store.staff_prefix, i + 1), FullName(random),
                             random.Chance(80) ? "女" : "男",
                             std::string(kStorePositions[i].position), store.name,
                             kStorePositions[i].bookable});
    }
  }
  return model;
}

}  // namespace rilo::schema
