#include <string_view>

#include "db/ModSQL.h"

namespace rilo::db {

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace rilo::db
