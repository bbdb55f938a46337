// The sample chain as plain facts (stores, services, products, staff, ...), from which the rows
// of the master tables and of the business of the day are written.
#pragma once

#include <string>
#include <vector>

#include "rilo/SampleChain.h"
#include "schema/SampleRandom.h"

namespace rilo::schema {

struct SampleStore {
  std::string name;
  std::string number;       // 店铺编号
  char staff_prefix = 'A';  // first letter of the staff numbers of the store
};

struct SampleService {
  std::string number;
  std::string name;
  std::string code;      // pinyin initials
  std::string category;  // a 服务类别 name
  std::string unit;
  double price = 0;
  std::string store;  // kAllStores, a store of the chain, or a former store
};

struct SampleProduct {
  std::string number;
  std::string name;
  std::string code;
  std::string type;  // a 产品类别 name
  std::string brand;
  std::string unit;
  double cost = 0;
  double price = 0;
  std::string store;
};

struct SamplePackage {
  std::string number;
  std::string name;
  std::string category;
  std::string level;
  double unit_price = 0;
  int count = 0;
};

struct SampleLevel {
  std::string name;
  double service_discount = 1;
  double product_discount = 1;
  double opening_amount = 0;
  double bonus_amount = 0;
  std::string store;
};

struct SampleStaff {
  std::string number;  // 员工编号, the value appointments book
  std::string name;
  std::string sex;
  std::string position;
  std::string store;
  bool bookable = true;
};

struct SampleModel {
  SampleChainOptions options;
  std::vector<SampleStore> stores;
  std::string former_store;  // no longer in the chain; its products and services stay behind
  std::vector<std::string> service_categories;  // in ID order
  std::vector<std::string> product_categories;
  std::vector<std::string> positions;
  std::vector<SampleLevel> levels;
  std::vector<SampleService> services;
  std::vector<SampleProduct> products;
  std::vector<SamplePackage> packages;
  std::vector<SampleStaff> staff;
};

SampleModel BuildSampleModel(const SampleChainOptions& options, SampleRandom& random);

/// A person's name as a store writes it: a full name, or the family name with 女士 or 先生.
std::string SampleCustomerName(SampleRandom& random);

/// An eleven-digit mobile number.
std::string SamplePhone(SampleRandom& random);

/// "YYYY-MM-DD HH:MM:00", `day_offset` days from the date part of `date`.
std::string SampleDateTime(AutomationDate date, int day_offset, int hour, int minute);

/// A price rounded to half a unit, so that sums of prices stay exact in binary.
double HalfUnits(double amount);

}  // namespace rilo::schema
