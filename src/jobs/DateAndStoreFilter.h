// The condition the summary, membership and reminder queries share: one store's rows of one
// business date (or from it on).
#pragma once

#include <string>
#include <string_view>

namespace rilo::jobs {

/// "Where CONVERT(varchar(100), <date_column>, 23) <comparison> '<business_date>' and
/// <store_column> = '<store>'", the date ("yyyy-MM-dd") and the store written as literals.
std::string DateAndStoreFilter(std::string_view date_column, std::string_view comparison,
                               std::string_view business_date, std::string_view store_column,
                               std::string_view store);

}  // namespace rilo::jobs
