#include "FsuipcServer.h"

#include <algorithm>
#include <filesystem>

#include "platform/Platform.h"
#include "sim/IpcBlock.h"

namespace zrk::test {

namespace {

std::filesystem::path ServerProgram() { return std::filesystem::path(ExecutableFolder()) / "zrk_fsuipc_server.exe"; }

const char* WindowClass(const std::vector<std::string>& args) {
    const bool fallback = std::find(args.begin(), args.end(), "--fallback") != args.end();
    return fallback ? ipc::kFallbackWindowClass : ipc::kServerWindowClass;
}

} // namespace

FsuipcServer::FsuipcServer(const std::vector<std::string>& args) : process_(ServerProgram(), args) {
    if (!process_.Started()) return;
    const char* windowClass = WindowClass(args);
    Eventually([&] {
        window_ = FindWindowA(windowClass, nullptr);
        return window_ != nullptr || process_.WaitForExit(0);
    });
}

FsuipcServer::~FsuipcServer() {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    // Not ended by then: the child process ends it.
    process_.WaitForExit(10000);
}

uint32_t FsuipcServer::Peek(uint32_t offset, uint32_t size) const {
    DWORD_PTR value = 0;
    if (SendMessageTimeoutA(window_, RegisterWindowMessageA("ZrkTest:Peek"), offset, size, SMTO_BLOCK, 5000,
                            &value) == 0)
        return 0xDEADBEEF;
    return static_cast<uint32_t>(value);
}

} // namespace zrk::test
