#include <mutex>
#include <string>
#include <utility>

#include "db/odbc/OdbcConnectParameters.h"
#include "db/odbc/OdbcEngine.h"

namespace rilo::db {
namespace {

// Named by path so no odbcinst.ini entry is needed.
#if defined(__aarch64__)
constexpr const char* kFreeTdsDriver = "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so";
#else
constexpr const char* kFreeTdsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
#endif

std::mutex driver_mutex;
std::string chosen_driver;  // empty: the default

}  // namespace

void SetOdbcDriver(std::string name_or_path) {
  std::string name = odbc::UnbracedDriverName(name_or_path);
  const std::lock_guard lock(driver_mutex);
  chosen_driver = std::move(name);
}

std::string OdbcDriver() {
  const std::lock_guard lock(driver_mutex);
  return chosen_driver.empty() ? kFreeTdsDriver : chosen_driver;
}

}  // namespace rilo::db
