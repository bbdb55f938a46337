// Registration of the class, its ProgIDs, the type library and the interfaces it marshals,
// for the current user (HKCU\Software\Classes, no administrator needed) or for all users
// (HKLM\Software\Classes).
#pragma once

#include <windows.h>

#include <string>

namespace rilo::com {

enum class RegistrationScope { kCurrentUser, kAllUsers };

/// Registers the server at `exe_path`; COM starts it as `"exe_path" server_arguments`.
/// Returns a Win32 error code (ERROR_SUCCESS when done); what was written before a failure
/// is removed again.
LSTATUS RegisterServer(RegistrationScope scope, const std::wstring& exe_path,
                       const std::wstring& server_arguments);

/// Removes everything RegisterServer writes; what is already gone is no failure.
LSTATUS UnregisterServer(RegistrationScope scope);

}  // namespace rilo::com
