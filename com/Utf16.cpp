#include "Utf16.h"

#include <climits>

namespace rilo::com {

std::string ToUtf8(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0 || length > INT_MAX) return {};
  const int wide = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, wide, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::string ToUtf8(BSTR text) { return ToUtf8(text, text ? SysStringLen(text) : 0); }

std::string ToUtf8(std::wstring_view text) { return ToUtf8(text.data(), text.size()); }

std::wstring ToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int bytes = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, out.data(), wide);
  return out;
}

BSTR ToBstr(std::string_view text) {
  const std::wstring wide = ToUtf16(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace rilo::com
