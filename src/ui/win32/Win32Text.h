#pragma once
#include <string>
#include <string_view>

#include <windows.h>

namespace zrk {

// The models hold UTF-8; the wide Windows calls take UTF-16. Bytes that are
// not UTF-8 become U+FFFD rather than being dropped or read past.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// A window's text as UTF-8.
std::string WindowTextUtf8(HWND window);

} // namespace zrk
