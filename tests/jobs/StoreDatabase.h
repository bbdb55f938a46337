// Test helper: a main store database on the embedded engine, in a folder of its own, with the
// store tables and rows the test adds. Rows are written and read with sqlite3 directly, so the
// fixtures do not depend on the code under test.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <locale>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/Utf8Path.h"
#include "rilo/SampleChain.h"

namespace rilo::testing {

struct Appointment {
  std::optional<std::string> customer = "李女士";
  std::optional<std::string> phone = "13800000000";
  std::string staff = "A03";
  std::optional<std::string> service = "面部护理";
  std::string when = "2025-03-09 14:30:00";
  std::string store = "中心店";
  std::string state = "预约";
  int reminded = 0;
};

class StoreDatabase {
 public:
  /// The date-time column of 服务预约 as declared; a store database may hold it as text.
  enum class AppointmentDates { kDateTime, kText };

  explicit StoreDatabase(std::string name = "HQ",
                         AppointmentDates dates = AppointmentDates::kDateTime)
      : dir_(UniqueDir()), name_(std::move(name)), dates_(dates) {
    Create();
  }
  ~StoreDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  StoreDatabase(const StoreDatabase&) = delete;
  StoreDatabase& operator=(const StoreDatabase&) = delete;

  /// The settings string of the main database (blank login).
  std::string settings() const { return "sqlite:" + dir_.string() + "｜｜｜" + name_; }
  std::filesystem::path file() const { return dir_ / (name_ + ".db"); }

  /// Takes the database away (as an unreachable server would be) and brings it back.
  void TakeAway() { std::filesystem::rename(file(), dir_ / "away.db"); }
  void BringBack() { std::filesystem::rename(dir_ / "away.db", file()); }

  void Exec(const std::string& sql) {
    Handle db(file());
    char* error = nullptr;
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "unknown error";
      sqlite3_free(error);
      throw std::runtime_error(message + " in: " + sql);
    }
  }

  /// The first column of every row of `sql`, as text ("NULL" for Null).
  std::vector<std::string> Column(const std::string& sql) {
    Handle db(file());
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db.get()));
    }
    std::vector<std::string> out;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(stmt, 0);
      out.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    sqlite3_finalize(stmt);
    return out;
  }

  void AddCategory(const std::optional<std::string>& name) {
    Exec("INSERT INTO 服务类别(服务类别) VALUES(" + Literal(name) + ")");
  }

  void AddSale(std::string_view kind, std::string_view item, double price, std::string_view when,
               std::string_view store) {
    Exec("INSERT INTO 销售详情(销售类型,项目类型,售价,消费日期,所属分店) VALUES(" +
         Literal(std::string(kind)) + "," + Literal(std::string(item)) + "," + Number(price) + "," +
         Literal(std::string(when)) + "," + Literal(std::string(store)) + ")");
  }

  void AddMembership(std::string_view kind, double amount, std::string_view when,
                     std::string_view store) {
    Exec("INSERT INTO 会员记录(操作类型,消费金额,办理日期,所属分店) VALUES(" +
         Literal(std::string(kind)) + "," + Number(amount) + "," + Literal(std::string(when)) +
         "," + Literal(std::string(store)) + ")");
  }

  void AddStaff(std::string_view number) {
    Exec("INSERT INTO 员工信息(员工编号,员工姓名) VALUES(" + Literal(std::string(number)) +
         ",'staff')");
  }

  /// Adds the appointment; returns its ID.
  std::int64_t AddAppointment(const Appointment& a) {
    Exec(
        "INSERT INTO 服务预约(顾客姓名,顾客电话,预约员工,预约项目,预约日期,所属分店,预约状态,"
        "预约提醒) VALUES(" +
        Literal(a.customer) + "," + Literal(a.phone) + "," + Literal(a.staff) + "," +
        Literal(a.service) + "," + Literal(a.when) + "," + Literal(a.store) + "," +
        Literal(a.state) + "," + std::to_string(a.reminded) + ")");
    return std::stoll(Column("SELECT max(ID) FROM 服务预约").at(0));
  }

  /// The reminded flag of appointment `id`.
  std::string Reminded(std::int64_t id) {
    return Column("SELECT 预约提醒 FROM 服务预约 WHERE ID = " + std::to_string(id)).at(0);
  }

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
  };
  struct Handle : std::unique_ptr<sqlite3, Closer> {
    explicit Handle(const std::filesystem::path& file) {
      sqlite3* db = nullptr;
      if (sqlite3_open(rilo::db::PathToUtf8(file).c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + file.string());
      }
      reset(db);
      // Fixtures need no durability, and a sync per row would slow every test down.
      sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    }
  };

  static std::string Literal(const std::optional<std::string>& value) {
    if (!value) return "NULL";
    std::string out = "'";
    for (char c : *value) {
      out += c;
      if (c == '\'') out += '\'';
    }
    return out + "'";
  }
  static std::string Number(double v) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(17);
    out << v;
    return out.str();
  }

  static std::filesystem::path UniqueDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string leaf = "jobs";
    if (info) leaf += std::string("-") + info->test_suite_name() + "-" + info->name();
    auto dir = std::filesystem::path(RILO_TEST_TMPDIR) / leaf;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
  }

  // The tables and indexes the server ships; 服务预约 made again when its dates are text.
  void Create() {
    schema::CreateEmptyStoreDatabase(file(), false);
    if (dates_ == AppointmentDates::kText) {
      Exec("DROP TABLE 服务预约");
      Exec(
          "CREATE TABLE 服务预约(ID INTEGER PRIMARY KEY, 顾客姓名 TEXT, 顾客电话 TEXT, 预约员工 "
          "TEXT, 预约项目 TEXT, 预约日期 TEXT, 所属分店 TEXT, 预约状态 TEXT, 预约提醒 INTEGER)");
    }
  }

  std::filesystem::path dir_;
  std::string name_;
  AppointmentDates dates_;
};

}  // namespace rilo::testing
