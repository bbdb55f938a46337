#include <mutex>
#include <string>
#include <utility>

#include "db/odbc/DefaultDriver.h"
#include "db/odbc/OdbcConnectParameters.h"
#include "db/odbc/OdbcEngine.h"

namespace rilo::db {
namespace {

std::mutex driver_mutex;
std::string chosen_driver;  // empty: the default

}  // namespace

void SetOdbcDriver(std::string name_or_path) {
  std::string name = odbc::UnbracedDriverName(name_or_path);
  const std::lock_guard lock(driver_mutex);
  chosen_driver = std::move(name);
}

std::string OdbcDriver() {
  {
    const std::lock_guard lock(driver_mutex);
    if (!chosen_driver.empty()) return chosen_driver;
  }
  return odbc::DefaultDriver();
}

}  // namespace rilo::db
