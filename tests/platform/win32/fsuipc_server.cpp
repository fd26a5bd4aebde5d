// A stand-in for the simulator's interface module in the Windows adapter
// tests: a hidden top-level window that serves the shared request block
// from a 64 KiB offset space of its own, as the real module does.
//
//   zrk_fsuipc_server [--fallback] [--bad-version]
//     --fallback     window class FS98MAIN instead of UIPCMAIN
//     --bad-version  a server version older than any client accepts
//
// For the tests it also answers "ZrkTest:Peek" (wparam an offset, lparam a
// size of 1 to 4) with the little-endian value at that offset, and on
// "ZrkTest:Stall" (wparam milliseconds) keeps its thread busy that long.
// It ends on WM_CLOSE, or by itself after a minute so that a failed test
// leaves nothing behind for long.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "sim/IpcBlock.h"

namespace {

namespace ipc = zrk::ipc;

constexpr uint32_t kSpaceSize = 0x10000;
constexpr uint32_t kServerVersion = 0x40000000;
constexpr uint32_t kBadServerVersion = 0x10000000;
constexpr uint32_t kSimulatorVersion = 0xFADE000C;
// The server's own words: writes there are not stored.
constexpr uint32_t kServerWordsBegin = ipc::kServerVersionOffset;
constexpr uint32_t kServerWordsEnd = ipc::kSimulatorVersionOffset + 4;
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMs = 60000;

std::vector<uint8_t> g_space(kSpaceSize, 0);
UINT g_ipcMessage = 0;
UINT g_peekMessage = 0;
UINT g_stallMessage = 0;

void Load(uint32_t offset, uint8_t* out, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const uint64_t at = uint64_t(offset) + i;
        out[i] = at < kSpaceSize ? g_space[std::size_t(at)] : 0;
    }
}

void Store(uint32_t offset, const uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const uint64_t at = uint64_t(offset) + i;
        if (at < kSpaceSize && (at < kServerWordsBegin || at >= kServerWordsEnd)) g_space[std::size_t(at)] = bytes[i];
    }
}

// Finds the block through the atom's name and serves its requests in order,
// stopping at the terminator or at anything it cannot make sense of.
LRESULT Serve(WPARAM atom) {
    if (atom == 0 || atom > 0xFFFF) return 0;
    char name[256];
    if (GlobalGetAtomNameA(static_cast<ATOM>(atom), name, sizeof name) == 0) return 0;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) return 0;
    auto* block = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    if (block == nullptr) {
        CloseHandle(mapping);
        return 0;
    }
    MEMORY_BASIC_INFORMATION info{};
    const std::size_t size =
        VirtualQuery(block, &info, sizeof info) != 0 ? std::min<std::size_t>(info.RegionSize, ipc::kBlockSize) : 0;
    std::size_t pos = 0;
    ipc::Request req;
    while (ipc::ReadRequest(block, size, pos, req) == ipc::Step::Request) {
        if (req.kind == ipc::kKindRead)
            Load(req.offset, block + req.data, req.size);
        else
            Store(req.offset, block + req.data, req.size);
        pos = req.next;
    }
    UnmapViewOfFile(block);
    CloseHandle(mapping);
    return 1;
}

LRESULT Peek(WPARAM offset, LPARAM size) {
    if (offset > 0xFFFF || size < 1 || size > 4) return 0;
    uint8_t bytes[4] = {};
    Load(static_cast<uint32_t>(offset), bytes, static_cast<std::size_t>(size));
    return static_cast<LRESULT>(ipc::Load32(bytes));
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // Registered messages are not constants, so no switch for them.
    if (g_ipcMessage != 0 && message == g_ipcMessage) return Serve(wparam);
    if (g_peekMessage != 0 && message == g_peekMessage) return Peek(wparam, lparam);
    if (g_stallMessage != 0 && message == g_stallMessage) {
        Sleep(static_cast<DWORD>(std::min<WPARAM>(wparam, 10000)));
        return 1;
    }
    switch (message) {
    case WM_TIMER:
        if (wparam == kLifetimeTimer) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* windowClass = ipc::kServerWindowClass;
    uint32_t serverVersion = kServerVersion;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fallback") == 0)
            windowClass = ipc::kFallbackWindowClass;
        else if (std::strcmp(argv[i], "--bad-version") == 0)
            serverVersion = kBadServerVersion;
        else
            return 2;
    }
    ipc::Store32(g_space.data() + ipc::kServerVersionOffset, serverVersion);
    ipc::Store32(g_space.data() + ipc::kSimulatorVersionOffset, kSimulatorVersion);

    // Ready before the window exists: a client that finds it may send at once.
    g_ipcMessage = RegisterWindowMessageA(ipc::kMessageName);
    g_peekMessage = RegisterWindowMessageA("ZrkTest:Peek");
    g_stallMessage = RegisterWindowMessageA("ZrkTest:Stall");

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClassInfo{};
    windowClassInfo.lpfnWndProc = WindowProc;
    windowClassInfo.hInstance = instance;
    windowClassInfo.lpszClassName = windowClass;
    if (RegisterClassA(&windowClassInfo) == 0) return 3;
    // Never shown: a top-level window is all a client looks for.
    HWND window = CreateWindowExA(0, windowClass, "zrk test server", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) return 4;
    SetTimer(window, kLifetimeTimer, kLifetimeMs, nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
