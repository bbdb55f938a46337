#include <string>
#include <string_view>

#include "db/ModSQL.h"

namespace rilo::db {
namespace {

constexpr std::string_view kSpace = " ";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

}  // namespace

std::string TrimStoreName(std::string_view MyDpName) {
  auto starts_blank = [](std::string_view s) {
    return s.starts_with(kSpace)              ? kSpace.size()
           : s.starts_with(kIdeographicSpace) ? kIdeographicSpace.size()
                                              : 0;
  };
  auto ends_blank = [](std::string_view s) {
    return s.ends_with(kSpace)              ? kSpace.size()
           : s.ends_with(kIdeographicSpace) ? kIdeographicSpace.size()
                                            : 0;
  };
  while (const std::size_t n = starts_blank(MyDpName)) MyDpName.remove_prefix(n);
  while (const std::size_t n = ends_blank(MyDpName)) MyDpName.remove_suffix(n);
  return std::string(MyDpName);
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace rilo::db
