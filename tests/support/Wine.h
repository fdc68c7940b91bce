// Whether the tests run under Wine. Wine cannot do everything Windows does with a file that another
// handle keeps open (delete it so that its name goes, or rename another file over it); the cases
// that need it are left out there and run on Windows itself.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace kuvrion::test {

inline bool UnderWine()
{
#ifdef _WIN32
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

} // namespace kuvrion::test
