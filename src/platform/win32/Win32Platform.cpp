#include "platform/Platform.h"

#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProcessEnv.h"

namespace zrk {

std::unique_ptr<IProcessEnv> MakeProcessEnv() { return std::make_unique<Win32ProcessEnv>(); }

std::unique_ptr<IClock> MakeSystemClock() { return std::make_unique<Win32Clock>(); }

std::unique_ptr<IFileSystem> MakeDiskFileSystem() { return std::make_unique<Win32FileSystem>(); }

std::string ExecutableFolder() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return ".";
        if (n < buffer.size()) {
            const std::string exe(buffer.data(), n);
            const auto separator = exe.find_last_of("\\/");
            return separator == std::string::npos ? "." : exe.substr(0, separator);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace zrk
