#include "ui/win32/Win32Text.h"

#include <climits>
#include <vector>

namespace zrk {

std::wstring Utf8ToWide(std::string_view text)
{
    if (text.empty() || text.size() > std::size_t(INT_MAX))
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::string WideToUtf8(std::wstring_view text)
{
    if (text.empty() || text.size() > std::size_t(INT_MAX))
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string WindowTextUtf8(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::vector<wchar_t> buffer(std::size_t(length) + 1, L'\0');
    const int got = GetWindowTextW(window, buffer.data(), length + 1);
    return WideToUtf8(std::wstring_view(buffer.data(), std::size_t(got > 0 ? got : 0)));
}

} // namespace zrk
