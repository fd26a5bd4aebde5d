#pragma once
#include <cstdint>

namespace zrk {

// The operating-system primitives the simulator link is built from: a
// top-level window found by class name, a registered window message, a
// global atom, a named paging-file mapping with a writable view, and a
// blocking send with time-out. Each call mirrors one Win32 call, so the
// Windows adapter is a thin layer; tests and the embedded default use an
// in-process server instead. Handles are opaque; 0 means "none" or failure.
// Method names avoid the Win32 A/W macros so this header can be included
// before or after <windows.h>.
class IIpcTransport {
public:
    virtual ~IIpcTransport() = default;

    // FindWindow(className, nullptr): a top-level window of that class,
    // 0 when there is none.
    virtual uintptr_t FindTopWindow(const char* className) = 0;

    // RegisterWindowMessage: the message id, 0 on failure.
    virtual uint32_t RegisterMessageName(const char* name) = 0;

    // GlobalAddAtom / GlobalDeleteAtom: the atom, 0 on failure.
    virtual uint16_t AddGlobalAtom(const char* name) = 0;
    virtual void DeleteGlobalAtom(uint16_t atom) = 0;

    // CreateFileMapping on the paging file, default security, read/write,
    // `size` bytes. `handle` is 0 on failure. When a mapping of that name
    // already existed, `handle` refers to it and `alreadyExisted` is set
    // (ERROR_ALREADY_EXISTS); the caller still owns and closes the handle.
    struct Mapping {
        uintptr_t handle = 0;
        bool alreadyExisted = false;
    };
    virtual Mapping CreateNamedMapping(const char* name, uint32_t size) = 0;

    // MapViewOfFile(FILE_MAP_WRITE) of the whole mapping: the start of the
    // block, nullptr on failure. UnmapBlockView takes that start.
    virtual uint8_t* MapBlockView(uintptr_t mapping) = 0;
    virtual void UnmapBlockView(uint8_t* view) = 0;
    // CloseHandle of a mapping handle.
    virtual void CloseMapping(uintptr_t mapping) = 0;

    // SendMessageTimeout(window, message, wparam, lparam, SMTO_BLOCK,
    // timeoutMs): blocks until the receiver has handled the message or the
    // time-out passed.
    struct SendResult {
        bool ok = false;          // the receiver handled the message
        uintptr_t reply = 0;      // its return value, when ok
        uint32_t lastError = 0;   // when not ok: 0 for a time-out, else the system's error code
    };
    virtual SendResult SendWithTimeout(uintptr_t window, uint32_t message, uintptr_t wparam, uintptr_t lparam,
                                       uint32_t timeoutMs) = 0;

    // GetCurrentProcessId.
    virtual uint32_t CurrentProcessId() = 0;
};

} // namespace zrk
