#include "db/odbc/OdbcChoice.h"

#include <stdexcept>

#include "db/DbError.h"
#include "db/odbc/DefaultDriver.h"
#include "db/odbc/OdbcConnectParameters.h"

namespace rilo::db {

std::string OdbcChoice::Driver() const { return driver.empty() ? odbc::DefaultDriver() : driver; }

OdbcChoice ReadOdbcChoice(const OdbcSettings& settings) {
  return {odbc::UnbracedDriverName(settings.driver),
          odbc::ReadFreeTdsKeywords(settings.freetds_keywords)};
}

OdbcChoice CheckedOdbcChoice(const OdbcSettings& settings) {
  try {
    return ReadOdbcChoice(settings);
  } catch (const DbError& error) {
    throw std::invalid_argument(error.what());
  }
}

}  // namespace rilo::db
