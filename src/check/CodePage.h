// Whether a Windows code page holds a text: what SQL Server keeps of it in a char or varchar
// column of a database of that code page.
#pragma once

#include <optional>
#include <string_view>

namespace rilo::check {

/// True when every character of the UTF-8 `text` has a place in code page `code_page`
/// (0: a Unicode-only collation, 65001: UTF-8, both hold everything); nothing when this
/// machine does not know the code page.
std::optional<bool> CodePageHolds(int code_page, std::string_view text);

}  // namespace rilo::check
