#include <gtest/gtest.h>

#include "ports/ProcessEnv.h"

namespace zrk {
namespace {

TEST(PlatformExecutableMatches, Table) {
    struct Case {
        const char* exeText;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"NET_BRIDGE.EXE", "NET_BRIDGE.EXE", true},
        {"net_bridge.exe", "NET_BRIDGE.EXE", true},
        {"NET_BRIDGE.EXE", "Net_Bridge.Exe", true},
        {"C:\\Sim\\NET_BRIDGE\\NET_BRIDGE.EXE", "net_bridge.exe", true},
        {"/opt/sim/NET_BRIDGE", "NET_BRIDGE", true},
        {"/opt/sim\\mixed/NET_BRIDGE", "NET_BRIDGE", true},
        // The whole text matches too, so a full path names one program.
        {"/opt/sim/NET_BRIDGE", "/OPT/SIM/net_bridge", true},
        {"C:\\Sim\\NET_BRIDGE.EXE", "c:\\sim\\net_bridge.exe", true},
        // No partial matches.
        {"NET_BRIDGE.EXE", "NET_BRIDGE", false},
        {"NET_BRIDGE", "NET_BRIDGE.EXE", false},
        {"XNET_BRIDGE.EXE", "NET_BRIDGE.EXE", false},
        {"/opt/sim/NET_BRIDGE", "sim/NET_BRIDGE", false},
        {"/opt/sim/", "sim", false},
        // Only ASCII letters fold: other bytes compare as they are.
        {"\xe4.EXE", "\xc4.EXE", false},
        // An empty name never matches, not even an empty text.
        {"", "", false},
        {"/opt/sim/", "", false},
        {"NET_BRIDGE.EXE", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExecutableMatches(c.exeText, c.name), c.matches) << '"' << c.exeText << "\" vs \"" << c.name << '"';
    }
}

} // namespace
} // namespace zrk
