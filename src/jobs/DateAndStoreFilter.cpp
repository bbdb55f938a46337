#include "jobs/DateAndStoreFilter.h"

#include "db/SqlText.h"

namespace rilo::jobs {

std::string DateAndStoreFilter(std::string_view date_column, std::string_view comparison,
                               std::string_view business_date, std::string_view store_column,
                               std::string_view store) {
  std::string filter = "Where CONVERT(varchar(100), ";
  filter += date_column;
  filter += ", 23) ";
  filter += comparison;
  filter += " '";
  filter += db::EscapeLiteral(business_date);
  filter += "' and ";
  filter += store_column;
  filter += " = '";
  filter += db::EscapeLiteral(store);
  filter += "'";
  return filter;
}

}  // namespace rilo::jobs
