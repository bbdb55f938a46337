#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "db/StoreTables.h"
#include "schema/SampleRows.h"

namespace rilo::schema {
namespace {

std::int64_t Id(const std::vector<SampleRow>& rows) {
  return static_cast<std::int64_t>(rows.size()) + 1;
}

struct Moment {
  int hour;
  int minute;
  friend auto operator<=>(const Moment&, const Moment&) = default;
};

// Opening hours 09:00 to 21:00, in time order.
std::vector<Moment> OpeningHourMoments(int count, SampleRandom& random) {
  std::vector<Moment> moments;
  for (int i = 0; i < count; ++i) moments.push_back({9 + random.Below(12), random.Below(60)});
  std::sort(moments.begin(), moments.end());
  return moments;
}

bool OfferedAt(const std::string& owner, const std::string& store) {
  return owner == db::kAllStores || owner == store;
}

class SalesWriter {
 public:
  SalesWriter(const SampleModel& model, SampleRandom& random, std::vector<SampleRow>& rows)
      : model_(model), random_(random), rows_(rows) {}

  // `count` sales of one store on one day. The first ones cover every service category, a
  // treatment package and a product, so each store's day has every kind of takings.
  void Day(const SampleStore& store, int day_offset, int count) {
    const auto moments = OpeningHourMoments(count, random_);
    const int covered = static_cast<int>(model_.service_categories.size()) + 2;
    for (int i = 0; i < count; ++i) {
      const int kind = i < covered ? i : RandomKind();
      const std::string when = SampleDateTime(model_.options.business_date, day_offset,
                                              moments[static_cast<std::size_t>(i)].hour,
                                              moments[static_cast<std::size_t>(i)].minute);
      Sale(store, kind, when, i + 1);
    }
  }

 private:
  // 0 .. categories-1: a service of that category; then a package, a product, a return.
  int RandomKind() {
    const int categories = static_cast<int>(model_.service_categories.size());
    const int roll = random_.Below(100);
    if (roll < 55) return random_.Below(categories);
    if (roll < 70) return categories;
    if (roll < 95) return categories + 1;
    return categories + 2;
  }

  void Sale(const SampleStore& store, int kind, const std::string& when, int sequence) {
    const int categories = static_cast<int>(model_.service_categories.size());
    std::string sale_kind;
    std::string item_type;
    std::string item_name;
    double price = 0;
    if (kind < categories) {
      const auto& service =
          PickService(store, model_.service_categories[static_cast<std::size_t>(kind)]);
      sale_kind = "销售服务";
      item_type = service.category;
      item_name = service.name;
      // Members pay a discounted price now and then.
      price = random_.Chance(30) ? HalfUnits(service.price * 0.88) : service.price;
    } else if (kind == categories) {
      const auto& package = random_.Pick(model_.packages);
      sale_kind = "销售计次";
      item_type = package.category;
      item_name = package.name;
      price = HalfUnits(package.unit_price * package.count);
    } else {
      const auto& product = PickProduct(store);
      const bool refund = kind > categories + 1;
      sale_kind = refund ? "销售退货" : "销售商品";
      item_type = product.type;
      item_name = product.name;
      price = refund ? -product.price : product.price * (1 + random_.Below(2));
    }
    // 单号: store number, date digits, sequence of the day.
    const std::string digits = when.substr(0, 4) + when.substr(5, 2) + when.substr(8, 2);
    rows_.push_back({
        {"ID", Id(rows_)},
        {"销售单号", fmt::format("{}{}{:04}", store.number, digits, sequence)},
        {"销售类型", sale_kind},
        {"项目类型", item_type},
        {"项目名称", item_name},
        {"售价", price},
        {"消费日期", when},
        {"所属分店", store.name},
    });
  }

  const SampleService& PickService(const SampleStore& store, const std::string& category) {
    std::vector<const SampleService*> offered;
    for (const auto& service : model_.services) {
      if (service.category == category && OfferedAt(service.store, store.name)) {
        offered.push_back(&service);
      }
    }
    return *random_.Pick(offered);  // every category has services for all stores
  }

  const SampleProduct& PickProduct(const SampleStore& store) {
    std::vector<const SampleProduct*> offered;
    for (const auto& product : model_.products) {
      if (OfferedAt(product.store, store.name)) offered.push_back(&product);
    }
    return *random_.Pick(offered);
  }

  const SampleModel& model_;
  SampleRandom& random_;
  std::vector<SampleRow>& rows_;
};

void AddCardOperations(const SampleModel& model, SampleRandom& random, SampleTables& tables) {
  struct Operation {
    int day_offset;
    std::string_view kind;  // 会员充值 is a top-up: takings, but neither opening nor renewal
  };
  constexpr std::array<Operation, 10> kOperations = {{
      {0, "会员办卡"},
      {0, "会员办卡"},
      {0, "会员办卡"},
      {0, "会员续卡"},
      {0, "会员续卡"},
      {0, "会员充值"},
      {-1, "会员办卡"},
      {-1, "会员续卡"},
      {-2, "会员办卡"},
      {1, "会员续卡"},
  }};
  auto& rows = tables["会员记录"];
  for (const auto& store : model.stores) {
    int card = 0;
    for (const auto& operation : kOperations) {
      const auto& level = model.levels[static_cast<std::size_t>(
          random.Below(static_cast<int>(std::min<std::size_t>(model.levels.size(), 4))))];
      const double amount =
          operation.kind == "会员充值" ? 500.0 * (1 + random.Below(4)) : level.opening_amount;
      rows.push_back({
          {"ID", Id(rows)},
          {"会员卡号", fmt::format("{}{:05}", store.number, ++card)},
          {"会员姓名", SampleCustomerName(random)},
          {"操作类型", std::string(operation.kind)},
          {"消费金额", amount},
          {"办理日期", SampleDateTime(model.options.business_date, operation.day_offset,
                                      9 + random.Below(12), random.Below(60))},
          {"所属分店", store.name},
      });
    }
  }
}

void AddAppointments(const SampleModel& model, SampleRandom& random, SampleTables& tables) {
  struct Appointment {
    int day_offset;
    int hour;
    std::string_view state;
    std::int64_t reminded;
    bool unknown_staff;  // booked with a staff number no staff member has
  };
  // Around the business date: waiting ones before it (never due again), early and late ones
  // on the day, some reminded or no longer booked, and waiting ones in the following days.
  constexpr std::array<Appointment, 11> kAppointments = {{
      {-3, 15, "预约", 0, false},
      {-1, 10, "预约", 0, false},
      {0, 8, "预约", 0, false},
      {0, 10, "预约", 1, false},
      {0, 11, "已完成", 1, false},
      {0, 14, "预约", 0, false},
      {0, 16, "已取消", 0, false},
      {0, 19, "已到店", 0, false},
      {1, 9, "预约", 0, true},
      {2, 13, "预约", 0, false},
      {7, 18, "预约", 0, false},
  }};
  auto& rows = tables["服务预约"];
  for (const auto& store : model.stores) {
    std::vector<const SampleStaff*> bookable;
    for (const auto& person : model.staff) {
      if (person.store == store.name && person.bookable) bookable.push_back(&person);
    }
    std::vector<const SampleService*> offered;
    for (const auto& service : model.services) {
      if (OfferedAt(service.store, store.name)) offered.push_back(&service);
    }
    for (const auto& appointment : kAppointments) {
      const std::string staff = appointment.unknown_staff ? fmt::format("{}99", store.staff_prefix)
                                                          : random.Pick(bookable)->number;
      rows.push_back({
          {"ID", Id(rows)},
          {"顾客姓名", SampleCustomerName(random)},
          {"顾客电话", SamplePhone(random)},
          {"预约员工", staff},
          {"预约项目", random.Pick(offered)->name},
          {"预约日期", SampleDateTime(model.options.business_date, appointment.day_offset,
                                      appointment.hour, 15 * random.Below(4))},
          {"预约状态", std::string(appointment.state)},
          {"预约提醒", appointment.reminded},
          {"所属分店", store.name},
      });
    }
  }
}

}  // namespace

SampleTables BusinessRows(const SampleModel& model, SampleRandom& random) {
  SampleTables tables;
  SalesWriter sales(model, random, tables["销售详情"]);
  for (const auto& store : model.stores) {
    sales.Day(store, 0, model.options.sales_per_store);
    sales.Day(store, -1, 8);
    sales.Day(store, -7, 3);
    sales.Day(store, 1, 3);
  }
  AddCardOperations(model, random, tables);
  AddAppointments(model, random, tables);
  return tables;
}

}  // namespace rilo::schema
