#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FsuipcServer.h"
#include "app/TForm1.h"
#include "app/VirtualWorld.h"
#include "platform/Platform.h"
#include "platform/win32/Win32IpcTransport.h"
#include "sim/FPCuser.h"
#include "sim/IpcBlock.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

// The name of the block the link of this process uses.
std::string BlockName() {
    char name[48];
    std::snprintf(name, sizeof name, "%s:%lX:1", ipc::kMessageName, GetCurrentProcessId());
    return name;
}

struct Link {
    std::unique_ptr<IClock> clock = MakeSystemClock();
    Win32IpcTransport transport;
    FPCuser user{transport, *clock};
    int32_t result = -1;
};

TEST(Win32IpcTransport, TheLinkExchangesWithARealServerAndReleasesEverything) {
    FsuipcServer server;
    ASSERT_NE(server.Window(), nullptr);
    Link link;
    ASSERT_TRUE(link.user.OpenLink(0, link.result));
    EXPECT_EQ(link.result, 0);
    EXPECT_EQ(link.user.ServerWindow(), reinterpret_cast<uintptr_t>(server.Window()));
    EXPECT_EQ(link.user.ServerVersion(), 0x40000000u);
    EXPECT_EQ(link.user.SimulatorVersion(), 0x000Cu);

    // A write, then a read of it and of the server's version in one block.
    const int16_t lever = 8192;
    ASSERT_TRUE(link.user.QueueWrite(0x52FA, 2, &lever, link.result));
    ASSERT_TRUE(link.user.ProcessQueue(link.result));
    EXPECT_EQ(server.Peek(0x52FA, 2), 8192u);
    int16_t readBack = 0;
    uint32_t version = 0;
    ASSERT_TRUE(link.user.QueueRead(0x52FA, 2, &readBack, link.result));
    ASSERT_TRUE(link.user.QueueRead(0x3304, 4, &version, link.result));
    ASSERT_TRUE(link.user.ProcessQueue(link.result));
    EXPECT_EQ(link.result, 0);
    EXPECT_EQ(readBack, 8192);
    EXPECT_EQ(version, 0x40000000u);

    // While open the block's name is a live atom; closed, the atom and the
    // mapping are gone.
    EXPECT_NE(GlobalFindAtomA(BlockName().c_str()), 0);
    link.user.CloseLink();
    EXPECT_EQ(GlobalFindAtomA(BlockName().c_str()), 0);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_WRITE, FALSE, BlockName().c_str()), nullptr);
}

TEST(Win32IpcTransport, TheHandshakeFindsEitherWindowAndRefusesAnOldServer) {
    const struct {
        std::vector<std::string> serverArgs;
        bool opens;
        LinkResult result;
    } cases[] = {
        {{"--fallback"}, true, LinkResult::Ok},
        {{"--bad-version"}, false, LinkResult::WrongServer},
        {{"--fallback", "--bad-version"}, false, LinkResult::WrongServerFallback},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serverArgs.back());
        FsuipcServer server(c.serverArgs);
        ASSERT_NE(server.Window(), nullptr);
        Link link;
        EXPECT_EQ(link.user.OpenLink(0, link.result), c.opens);
        EXPECT_EQ(link.result, int32_t(c.result));
        link.user.CloseLink();
        // A refused link leaves nothing behind either.
        EXPECT_EQ(GlobalFindAtomA(BlockName().c_str()), 0);
    }
}

TEST(Win32IpcTransport, WithoutAServerTheLinkStaysClosed) {
    Link link;
    EXPECT_FALSE(link.user.OpenLink(0, link.result));
    EXPECT_EQ(link.result, int32_t(LinkResult::NoServerWindow));
}

TEST(Win32IpcTransport, ReportsTheSystemsAnswersAsTheLinkExpectsThem) {
    Win32IpcTransport transport;
    // A name taken already.
    const std::string name = UniqueName("zrk_block");
    const auto first = transport.CreateNamedMapping(name.c_str(), ipc::kBlockSize);
    ASSERT_NE(first.handle, 0u);
    EXPECT_FALSE(first.alreadyExisted);
    const auto second = transport.CreateNamedMapping(name.c_str(), ipc::kBlockSize);
    ASSERT_NE(second.handle, 0u);
    EXPECT_TRUE(second.alreadyExisted);
    // Both handles name the same memory.
    uint8_t* a = transport.MapBlockView(first.handle);
    uint8_t* b = transport.MapBlockView(second.handle);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    a[ipc::kBlockSize - 1] = 0x77;
    EXPECT_EQ(b[ipc::kBlockSize - 1], 0x77);
    transport.UnmapBlockView(a);
    transport.UnmapBlockView(b);
    transport.CloseMapping(first.handle);
    transport.CloseMapping(second.handle);

    // A window that is gone: the system's error; a busy one: a time-out.
    HWND closed = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(closed, nullptr);
    DestroyWindow(closed);
    const uint32_t message = transport.RegisterMessageName(ipc::kMessageName);
    const auto gone = transport.SendWithTimeout(reinterpret_cast<uintptr_t>(closed), message, 0, 0, 1000);
    EXPECT_FALSE(gone.ok);
    EXPECT_EQ(gone.lastError, uint32_t(ERROR_INVALID_WINDOW_HANDLE));
    FsuipcServer server;
    ASSERT_NE(server.Window(), nullptr);
    const uint32_t stall = transport.RegisterMessageName("ZrkTest:Stall");
    const auto busy = transport.SendWithTimeout(reinterpret_cast<uintptr_t>(server.Window()), stall, 1500, 0, 50);
    EXPECT_FALSE(busy.ok);
    EXPECT_EQ(busy.lastError, 0u);
}

// The controller itself on the Windows link: a lever moved on the card is
// in the simulator's offset space after one main cycle.
TEST(Win32IpcTransport, ALeverChangeReachesTheServersOffsetSpace) {
    FsuipcServer server;
    ASSERT_NE(server.Window(), nullptr);
    VirtualWorld world;
    Win32IpcTransport transport;
    world.files.Put(kConfigPath,
                    Config({{"THROTTLES", "THROTTLE_1_IDLE", "100"}, {"THROTTLES", "THROTTLE_1_FULL", "900"}}));
    Ports ports{world.host,  world.host,   world.process,   world.dialogs, world.files,
                world.boards, kExeFolder,  world.socket,    world.panelBus, transport};
    TForm1 form(ports);
    world.host.Bind(&form);
    form.FormCreate();
    ASSERT_TRUE(form.FsuipcConnected);

    form.PhidgetInterfaceKit2SensorChange(0, 500);
    form.mainTimer();
    EXPECT_EQ(form.FsuipcResult, 0);
    EXPECT_EQ(server.Peek(0x52FA, 2), 8192u);
}

} // namespace
} // namespace zrk::test
