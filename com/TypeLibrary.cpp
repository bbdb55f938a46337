#include "TypeLibrary.h"

#include <oleauto.h>

#include <vector>

namespace rilo::com {

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

HRESULT LoadOwnTypeLibrary(ITypeLib** out) {
  return LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, out);
}

HRESULT LoadOwnTypeInfo(REFGUID guid, ITypeInfo** out) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadOwnTypeLibrary(&library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(guid, out);
  library->Release();
  return hr;
}

}  // namespace rilo::com
