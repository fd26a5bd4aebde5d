#pragma once
#include <cstdint>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "TestProcess.h"

namespace zrk::test {

// The test server program (fsuipc_server.cpp) running for the scope: it is
// waited for until its window exists, and asked to close at the end (ended
// by force if it does not).
class FsuipcServer {
public:
    explicit FsuipcServer(const std::vector<std::string>& args = {});
    ~FsuipcServer();
    FsuipcServer(const FsuipcServer&) = delete;
    FsuipcServer& operator=(const FsuipcServer&) = delete;

    // The server's window; nullptr when it did not come up.
    HWND Window() const { return window_; }
    // The value of 1 to 4 bytes at `offset` of its offset space.
    uint32_t Peek(uint32_t offset, uint32_t size) const;

private:
    ChildProcess process_;
    HWND window_ = nullptr;
};

} // namespace zrk::test
