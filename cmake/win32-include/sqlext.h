// Windows' ODBC headers use the Windows types without including them.
#pragma once
#include <windows.h>
#include_next <sqlext.h>
