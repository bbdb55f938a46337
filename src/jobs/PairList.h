// The pair list that ServerStart carries: name "‖" value, pairs joined by "｜".
#pragma once

#include <string>
#include <string_view>

#include "db/Value.h"

namespace rilo::jobs {

/// Separates a pair's name from its value: U+2016 DOUBLE VERTICAL LINE.
inline constexpr std::string_view kPairNameSeparator = "‖";
/// Separates the pairs: U+FF5C FULLWIDTH VERTICAL LINE.
inline constexpr std::string_view kPairSeparator = "｜";

/// `pairs` with the pair of `name` and `value` added: Null is written "0", any other value
/// in its classic text form. A blank list is replaced by the pair rather than extended.
std::string WithPair(const std::string& pairs, std::string_view name, const db::Value& value);

}  // namespace rilo::jobs
