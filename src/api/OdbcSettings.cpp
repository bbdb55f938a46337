#include "rilo/OdbcSettings.h"

#include "db/DbError.h"
#include "db/odbc/OdbcChoice.h"

namespace rilo {

std::string OdbcSettingsProblem(const OdbcSettings& settings) {
  try {
    db::ReadOdbcChoice(settings);
  } catch (const db::DbError& error) {
    return error.what();
  }
  return {};
}

}  // namespace rilo
