// The SQL texts of the daily summary job.
#pragma once

#include <string>
#include <string_view>

#include "db/Value.h"

namespace rilo::jobs {

/// The service categories in the order of their pairs.
inline constexpr std::string_view kCategoryQuery =
    "Select 服务类别 From [服务类别] ORDER BY ID ASC";

/// The conditional-sum column of one service category, ending in a comma. Its condition
/// holds the name unfiltered, its alias the name through SqlNameFilter. Throws
/// std::invalid_argument for a Null name and for a name whose alias would be blank: such a
/// category gets no column, and the rest of the query stays valid.
std::string CategoryColumn(const db::Value& category);

/// The product-sales column and the rest of the summary query, for `business_date`
/// ("yyyy-MM-dd") and `store`.
std::string SummaryQueryTail(std::string_view business_date, std::string_view store);

/// The membership-card query for `business_date` ("yyyy-MM-dd") and `store`.
std::string MembershipQuery(std::string_view business_date, std::string_view store);

}  // namespace rilo::jobs
