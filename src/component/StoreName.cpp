#include "component/StoreName.h"

namespace rilo::component {
namespace {

// Store names are typed on Chinese keyboards, where the full-width space is as common as the
// ASCII one.
constexpr std::string_view kStoreNameBlanks[] = {" ", "\xE3\x80\x80"};

}  // namespace

std::string TrimStoreName(std::string_view MyDpName) {
  for (bool trimmed = true; trimmed;) {
    trimmed = false;
    for (std::string_view blank : kStoreNameBlanks) {
      if (MyDpName.starts_with(blank)) {
        MyDpName.remove_prefix(blank.size());
        trimmed = true;
      }
      if (MyDpName.ends_with(blank)) {
        MyDpName.remove_suffix(blank.size());
        trimmed = true;
      }
    }
  }
  return std::string(MyDpName);
}

}  // namespace rilo::component
