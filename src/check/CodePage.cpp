#include "check/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <vector>

namespace rilo::check {

std::optional<bool> CodePageHolds(int code_page, std::string_view text) {
  if (code_page == 0 || code_page == 65001) return true;
  // Without //TRANSLIT or //IGNORE a character the code page lacks stops the conversion.
  const std::string target = "CP" + std::to_string(code_page);
  iconv_t converter = iconv_open(target.c_str(), "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in(text);
  std::vector<char> out(in.size() * 4 + 16);
  char* in_ptr = in.data();
  std::size_t in_left = in.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  const std::size_t converted = iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(converter);
  return converted != static_cast<std::size_t>(-1) && in_left == 0;
}

}  // namespace rilo::check
