// The type library embedded in this executable (resource TYPELIB 1).
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace rilo::com {

/// The full path of this executable.
std::wstring ModulePath();

/// Loads the embedded type library without registering it.
HRESULT LoadOwnTypeLibrary(ITypeLib** out);

/// The type information of `guid` (a class or interface of the library).
HRESULT LoadOwnTypeInfo(REFGUID guid, ITypeInfo** out);

}  // namespace rilo::com
