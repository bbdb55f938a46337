#include "jobs/SqlNameFilter.h"

#include <array>
#include <string>
#include <string_view>

#include "db/ModSQL.h"

namespace rilo::jobs {
namespace {

// Each removal in this order; later ones may create matches of earlier ones, which stay.
constexpr std::array<std::string_view, 9> kRemovals = {
    "'", ";", "1=1", "|", "<", ">", "\xE2\x80\x96" /* U+2016 */, "\xEF\xBD\x9C" /* U+FF5C */, "/"};

// One left-to-right scan: the text that closes up around a cut is not scanned again.
std::string RemoveAll(std::string_view text, std::string_view pattern) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, start)) {
    out.append(text, start, at - start);
    start = at + pattern.size();
  }
  out.append(text, start);
  return out;
}

}  // namespace

std::string SqlNameFilter(std::string text) noexcept {
  try {
    if (db::IsBlank(text)) return {};
    for (std::string_view pattern : kRemovals) text = RemoveAll(text, pattern);
    return text;
  } catch (...) {
    return {};
  }
}

}  // namespace rilo::jobs
