// The store's name as the class keeps it.
#pragma once

#include <string>
#include <string_view>

namespace rilo::component {

/// `MyDpName` without leading and trailing spaces (U+0020 and the ideographic U+3000).
std::string TrimStoreName(std::string_view MyDpName);

}  // namespace rilo::component
