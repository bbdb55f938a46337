#include "Registration.h"

#include <objbase.h>

#include <initializer_list>

#include "RiloServer.h"

namespace rilo::com {
namespace {

constexpr wchar_t kClassName[] = L"ClsRiloSever";
constexpr wchar_t kProgId[] = L"RiloServer.ClsRiloSever";
constexpr wchar_t kVersionedProgId[] = L"RiloServer.ClsRiloSever.1";
constexpr wchar_t kLibraryName[] = L"RiloServer";
constexpr wchar_t kLibraryVersion[] = L"1.0";
// The standard automation marshaller: the interfaces travel between processes by what the
// type library says of them.
constexpr wchar_t kTypeLibraryMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

HKEY Root(RegistrationScope scope) {
  return scope == RegistrationScope::kAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring Classes(const std::wstring& key) { return L"Software\\Classes\\" + key; }

// Sets value `name` (empty: the key's default value) of `key`, creating the key.
LSTATUS SetText(HKEY root, const std::wstring& key, const wchar_t* name,
                const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(root, Classes(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  status =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  RegCloseKey(handle);
  return status;
}

LSTATUS DeleteTree(HKEY root, const std::wstring& key) {
  const LSTATUS status = RegDeleteTreeW(root, Classes(key).c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
    const LSTATUS gone = RegDeleteKeyW(root, Classes(key).c_str());
    return gone == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : gone;
  }
  return status;
}

struct Entry {
  std::wstring key;
  const wchar_t* name;  // null: the default value
  std::wstring value;
};

std::wstring Folder(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

LSTATUS RegisterServer(RegistrationScope scope, const std::wstring& exe_path,
                       const std::wstring& server_arguments) {
  const HKEY root = Root(scope);
  const std::wstring clsid = GuidText(CLSID_ClsRiloSever);
  const std::wstring libid = GuidText(LIBID_RiloServer);
  const std::wstring class_key = L"CLSID\\" + clsid;
  const std::wstring library_key = L"TypeLib\\" + libid + L"\\" + kLibraryVersion;
  std::wstring command = L"\"" + exe_path + L"\"";
  if (!server_arguments.empty()) command += L" " + server_arguments;

  std::initializer_list<Entry> entries = {
      {class_key, nullptr, kClassName},
      {class_key + L"\\LocalServer32", nullptr, command},
      {class_key + L"\\ProgID", nullptr, kVersionedProgId},
      {class_key + L"\\VersionIndependentProgID", nullptr, kProgId},
      {class_key + L"\\TypeLib", nullptr, libid},
      {class_key + L"\\Version", nullptr, kLibraryVersion},
      {class_key + L"\\Programmable", nullptr, L""},
      {kProgId, nullptr, kClassName},
      {std::wstring(kProgId) + L"\\CLSID", nullptr, clsid},
      {std::wstring(kProgId) + L"\\CurVer", nullptr, kVersionedProgId},
      {kVersionedProgId, nullptr, kClassName},
      {std::wstring(kVersionedProgId) + L"\\CLSID", nullptr, clsid},
      {library_key, nullptr, kLibraryName},
      {library_key + L"\\0\\win64", nullptr, exe_path},
      {library_key + L"\\FLAGS", nullptr, L"0"},
      {library_key + L"\\HELPDIR", nullptr, Folder(exe_path)},
  };
  for (const Entry& entry : entries) {
    const LSTATUS status = SetText(root, entry.key, entry.name, entry.value);
    if (status != ERROR_SUCCESS) {
      UnregisterServer(scope);
      return status;
    }
  }
  const std::pair<REFIID, const wchar_t*> interfaces[] = {{IID__ClsRiloSever, L"_ClsRiloSever"},
                                                          {DIID___ClsRiloSever, L"__ClsRiloSever"}};
  for (const auto& [iid, name] : interfaces) {
    const std::wstring key = L"Interface\\" + GuidText(iid);
    for (const Entry& entry : {Entry{key, nullptr, name},
                               Entry{key + L"\\ProxyStubClsid32", nullptr, kTypeLibraryMarshaller},
                               Entry{key + L"\\ProxyStubClsid", nullptr, kTypeLibraryMarshaller},
                               Entry{key + L"\\TypeLib", nullptr, libid},
                               Entry{key + L"\\TypeLib", L"Version", kLibraryVersion}}) {
      const LSTATUS status = SetText(root, entry.key, entry.name, entry.value);
      if (status != ERROR_SUCCESS) {
        UnregisterServer(scope);
        return status;
      }
    }
  }
  return ERROR_SUCCESS;
}

LSTATUS UnregisterServer(RegistrationScope scope) {
  const HKEY root = Root(scope);
  const std::wstring libid = GuidText(LIBID_RiloServer);
  LSTATUS result = ERROR_SUCCESS;
  for (const std::wstring& key :
       {L"CLSID\\" + GuidText(CLSID_ClsRiloSever), std::wstring(kProgId),
        std::wstring(kVersionedProgId), L"TypeLib\\" + libid + L"\\" + kLibraryVersion,
        L"Interface\\" + GuidText(IID__ClsRiloSever),
        L"Interface\\" + GuidText(DIID___ClsRiloSever)}) {
    const LSTATUS status = DeleteTree(root, key);
    if (status != ERROR_SUCCESS && result == ERROR_SUCCESS) result = status;
  }
  // The library's own key goes when no other version is left in it.
  const LSTATUS library = RegDeleteKeyW(root, Classes(L"TypeLib\\" + libid).c_str());
  if (library != ERROR_SUCCESS && library != ERROR_FILE_NOT_FOUND &&
      library != ERROR_ACCESS_DENIED && result == ERROR_SUCCESS) {
    // A key with subkeys left is refused as access denied: another version stays.
    result = library;
  }
  return result;
}

}  // namespace rilo::com
