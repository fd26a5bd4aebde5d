#include "platform/win32/Win32PanelBus.h"

#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zrk {

namespace {

constexpr int kPlainOperations[] = {3, 11, 4, 12};
constexpr int kBufferOperations[] = {1, 9};

// The path made absolute against the working directory, as the bridge's
// folder is found from there; unchanged when the system cannot tell.
std::string FullPath(const std::string& path) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) return path;
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

// An exported function as the type it is called through. The detour over
// void(*)() is the conversion GCC accepts between function pointer types.
template <class Fn>
Fn Bind(HMODULE module, int ordinal) {
    const FARPROC proc = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

} // namespace

Win32PanelBus::Win32PanelBus(std::function<void(const std::string&)> log, std::string path) {
    auto report = [&](const std::string& text) {
        if (log) log(text);
    };
    const std::string full = FullPath(path);
    HMODULE module = LoadLibraryA(full.c_str());
    if (module == nullptr) {
        const DWORD error = GetLastError();
        if (GetFileAttributesA(full.c_str()) == INVALID_FILE_ATTRIBUTES)
            report("PANELBUS.dll not found (" + path + "): running on zero aircraft data");
        else
            report("PANELBUS.dll could not be loaded (" + path + ", error " + std::to_string(error)
                   + "): running on zero aircraft data");
        return;
    }
    module_ = module;

    auto missing = [&](int operation) {
        report("PANELBUS.dll has no operation " + std::to_string(operation) + " (" + path
               + "): that operation is skipped");
    };
    for (int op : kPlainOperations)
        if (!(plain_[op] = Bind<PlainOperation>(module, op))) missing(op);
    for (int op : kBufferOperations)
        if (!(buffer_[op] = Bind<BufferOperation>(module, op))) missing(op);
}

Win32PanelBus::~Win32PanelBus() {
    if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
}

void Win32PanelBus::Call(int operation) {
    if (plain_[operation]) plain_[operation]();
}

void Win32PanelBus::Call(int operation, uint8_t* buffer) {
    if (buffer_[operation]) buffer_[operation](buffer);
}

} // namespace zrk
