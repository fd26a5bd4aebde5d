#pragma once
#include "sim/IpcTransport.h"

namespace zrk {

// The simulator link's primitives as the Win32 calls they mirror: handles
// are the system's HWNDs and HANDLEs, atoms its global atoms, the block a
// view of a named mapping on the paging file.
class Win32IpcTransport : public IIpcTransport {
public:
    uintptr_t FindTopWindow(const char* className) override;
    uint32_t RegisterMessageName(const char* name) override;
    uint16_t AddGlobalAtom(const char* name) override;
    void DeleteGlobalAtom(uint16_t atom) override;
    Mapping CreateNamedMapping(const char* name, uint32_t size) override;
    uint8_t* MapBlockView(uintptr_t mapping) override;
    void UnmapBlockView(uint8_t* view) override;
    void CloseMapping(uintptr_t mapping) override;
    SendResult SendWithTimeout(uintptr_t window, uint32_t message, uintptr_t wparam, uintptr_t lparam,
                               uint32_t timeoutMs) override;
    uint32_t CurrentProcessId() override;
};

} // namespace zrk
