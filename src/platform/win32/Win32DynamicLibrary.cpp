#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "boards/Phidget21Library.h"
#include "platform/Platform.h"

namespace zrk {

namespace {

// A DLL loaded with LoadLibrary. It stays loaded until the process ends: a
// library that runs threads of its own (as the board library does) cannot
// be unloaded safely while one of them may still be running.
class Win32DynamicLibrary : public IDynamicLibrary {
public:
    Win32DynamicLibrary(HMODULE module, std::string path) : module_(module), path_(std::move(path)) {}

    Function Find(const std::string& name) override {
        // The detour over void(*)() is the conversion GCC accepts between
        // function pointer types.
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name.c_str())));
    }

    std::string Path() const override {
        std::vector<char> buffer(MAX_PATH);
        for (int tries = 0; tries < 8; ++tries) {
            const DWORD n = GetModuleFileNameA(module_, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) break;
            if (n < buffer.size()) return std::string(buffer.data(), n);
            buffer.resize(buffer.size() * 2);
        }
        return path_;
    }

private:
    HMODULE module_;
    std::string path_;
};

} // namespace

const char* const kBoardLibraryFile = "phidget21.dll";

std::unique_ptr<IDynamicLibrary> LoadDynamicLibrary(const std::string& path, std::string* whyNot) {
    // A DLL that cannot be loaded is reported here, never in a message box.
    DWORD previousMode = 0;
    const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != 0;
    HMODULE module = LoadLibraryA(path.c_str());
    const DWORD error = GetLastError();
    if (modeSet) SetThreadErrorMode(previousMode, nullptr);
    if (module) return std::make_unique<Win32DynamicLibrary>(module, path);
    if (whyNot) {
        // Not being there is not an error worth its text.
        if (error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            whyNot->clear();
        else
            *whyNot = "system error " + std::to_string(error);
    }
    return nullptr;
}

} // namespace zrk
