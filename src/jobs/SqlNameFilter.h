// The column aliases of the daily summary are service category names: what may not stand in
// an alias is taken out.
#pragma once

#include <string>

namespace rilo::jobs {

/// Removes from `text` the characters that may not stand in a generated column alias.
/// Returns "" for a blank text and on any failure.
std::string SqlNameFilter(std::string text) noexcept;

}  // namespace rilo::jobs
