#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "bridge/PanelBus.h"

namespace zrk {

// The bridge's data library: a DLL of the bridge installation, which
// exports its six operations by ordinal only (operation n at ordinal n).
//
// The DLL comes without a header, so its calling convention is an
// assumption: every operation is __stdcall and returns an int, which is
// ignored; operations 3, 11, 4 and 12 take no argument, operations 1 and 9
// take the one buffer they fill (18207 and 1984 bytes). On 64-bit Windows
// __stdcall is the platform's single convention, so only 32-bit builds
// depend on it.
//
// A DLL that cannot be loaded, or one that lacks an operation, is logged
// once, at construction; the missing operation (every operation, without a
// DLL) then does nothing, so its record stays zero. The DLL is released at
// destruction.
class Win32PanelBus : public IPanelBus {
public:
    // Relative paths are taken from the working directory: the bridge is
    // installed in a sibling folder of it.
    static constexpr const char* kDefaultPath = "..\\NET_BRIDGE\\PANELBUS.dll";

    explicit Win32PanelBus(std::function<void(const std::string&)> log, std::string path = kDefaultPath);
    ~Win32PanelBus() override;
    Win32PanelBus(const Win32PanelBus&) = delete;
    Win32PanelBus& operator=(const Win32PanelBus&) = delete;

    // Whether the DLL was loaded (some operations may still be missing).
    bool Loaded() const { return module_ != nullptr; }

    void Operation3() override { Call(3); }
    void Operation11() override { Call(11); }
    void Operation1(uint8_t* aircraft) override { Call(1, aircraft); }
    void Operation9(uint8_t* simulator) override { Call(9, simulator); }
    void Operation4() override { Call(4); }
    void Operation12() override { Call(12); }

private:
    using PlainOperation = int(__stdcall*)();
    using BufferOperation = int(__stdcall*)(uint8_t*);
    static constexpr int kHighestOperation = 12;

    void Call(int operation);
    void Call(int operation, uint8_t* buffer);

    void* module_ = nullptr;
    // Indexed by operation number; null where the operation is missing.
    std::array<PlainOperation, kHighestOperation + 1> plain_{};
    std::array<BufferOperation, kHighestOperation + 1> buffer_{};
};

} // namespace zrk
