// Text across the automation boundary: BSTRs (UTF-16) to and from the library's UTF-8.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>

namespace rilo::com {

/// A BSTR as UTF-8; a null BSTR is the empty text, as automation treats it.
std::string ToUtf8(const wchar_t* text, std::size_t length);
std::string ToUtf8(BSTR text);
std::string ToUtf8(std::wstring_view text);

std::wstring ToUtf16(std::string_view text);

/// A new BSTR holding `text`; the caller frees it (SysFreeString). Null when out of memory.
BSTR ToBstr(std::string_view text);

}  // namespace rilo::com
