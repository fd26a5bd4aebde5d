#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/TestHost.h"
#include "sim/FPCuser.h"
#include "sim/FsuipcEmulator.h"

namespace zrk {
namespace {

constexpr uint64_t kStart = 1'000'000;

// A client linked to an emulated server, on virtual time.
class FpcLink : public testing::Test {
protected:
    TestHost host{kStart};
    FsuipcEmulator server{&host};
    FPCuser link{server, host};
    int32_t result = -1;

    uint64_t Elapsed() const { return host.NowMs() - kStart; }
    bool Open(uint32_t sim = 0) { return link.OpenLink(sim, result); }
    void OpenOrDie()
    {
        ASSERT_TRUE(Open());
        ASSERT_EQ(result, 0);
        server.ClearWrites();
    }
    // Nothing of the link is left in the system.
    void ExpectReleased()
    {
        EXPECT_FALSE(link.IsOpen());
        EXPECT_EQ(link.ServerWindow(), 0u);
        EXPECT_EQ(link.MessageId(), 0u);
        EXPECT_EQ(link.Atom(), 0);
        EXPECT_EQ(link.MappingHandle(), 0u);
        EXPECT_EQ(server.LiveAtoms(), 0u);
        EXPECT_EQ(server.LiveViews(), 0u);
        EXPECT_EQ(server.LiveMappingHandles(), 0u);
    }
};

// ------------------------------------------------------------------ open

TEST_F(FpcLink, OpenHandshakesOnceAndNamesTheBlockAfterTheProcess)
{
    server.processId = 0xABCDEF;
    ASSERT_TRUE(Open());
    EXPECT_EQ(result, int32_t(LinkResult::Ok));
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.ServerVersion(), FsuipcEmulator::kDefaultServerVersion);
    EXPECT_EQ(link.SimulatorVersion(), 0x000Cu);
    EXPECT_EQ(link.ClientLibraryVersion(), 2005u);
    EXPECT_EQ(server.AtomName(link.Atom()), "FsasmLib:IPC:ABCDEF:1");
    EXPECT_TRUE(server.MappingExists("FsasmLib:IPC:ABCDEF:1"));
    EXPECT_EQ(server.Exchanges(), 1);
    EXPECT_EQ(Elapsed(), 100u);
    // The client library version goes out once, as 16 bits.
    ASSERT_EQ(server.Writes().size(), 1u);
    EXPECT_EQ(server.Writes()[0], (FsuipcWrite{0x330A, 2, {0xD5, 0x07}}));
    EXPECT_EQ(link.QueuedBytes(), 0u);
}

TEST_F(FpcLink, OpenAcceptsOnlyAKnownServerAndSimulator)
{
    struct Case {
        const char* windowClass;
        uint32_t serverVersion;
        uint32_t simulatorWord;
        LinkResult expected;
    };
    const Case cases[] = {
        {"UIPCMAIN", 0x19980005, 0xFADE000C, LinkResult::Ok},
        {"UIPCMAIN", 0xFFFFFFFF, 0xFADE0001, LinkResult::Ok},
        {"UIPCMAIN", 0x19980004, 0xFADE000C, LinkResult::WrongServer},
        {"UIPCMAIN", 0x40000000, 0xFADF000C, LinkResult::WrongServer},
        {"UIPCMAIN", 0x40000000, 0x0000FADE, LinkResult::WrongServer},
        {"FS98MAIN", 0x40000000, 0xFADE000C, LinkResult::Ok},
        {"FS98MAIN", 0x19980004, 0xFADE000C, LinkResult::WrongServerFallback},
        {"FS98MAIN", 0x40000000, 0x1234000C, LinkResult::WrongServerFallback},
        {"", 0x40000000, 0xFADE000C, LinkResult::NoServerWindow},
        {"OTHERWIN", 0x40000000, 0xFADE000C, LinkResult::NoServerWindow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.windowClass) + " " + std::to_string(c.serverVersion) + " "
                     + std::to_string(c.simulatorWord));
        TestHost clock;
        FsuipcEmulator srv(&clock);
        srv.windowClass = c.windowClass;
        srv.SetServerVersion(c.serverVersion);
        srv.SetSimulatorVersion(c.simulatorWord);
        FPCuser client(srv, clock);
        int32_t r = -1;
        EXPECT_EQ(client.OpenLink(0, r), c.expected == LinkResult::Ok);
        EXPECT_EQ(r, int32_t(c.expected));
        EXPECT_EQ(client.IsOpen(), c.expected == LinkResult::Ok);
        if (c.expected != LinkResult::Ok) {
            EXPECT_EQ(srv.LiveAtoms(), 0u);
            EXPECT_EQ(srv.LiveViews(), 0u);
            EXPECT_EQ(srv.LiveMappingHandles(), 0u);
        }
    }
}

TEST_F(FpcLink, EachFailingPrimitiveGivesItsCodeAndLeavesNothingBehind)
{
    struct Case {
        const char* what;
        std::function<void(FsuipcEmulator&)> setup;
        LinkResult expected;
    };
    const Case cases[] = {
        {"register", [](FsuipcEmulator& s) { s.failRegisterMessage = true; }, LinkResult::RegisterFailed},
        {"atom", [](FsuipcEmulator& s) { s.failAddAtom = true; }, LinkResult::AtomFailed},
        {"mapping", [](FsuipcEmulator& s) { s.failCreateMapping = true; }, LinkResult::MappingFailed},
        {"mapping exists", [](FsuipcEmulator& s) { s.mappingAlreadyExists = true; }, LinkResult::MappingFailed},
        {"view", [](FsuipcEmulator& s) { s.failMapView = true; }, LinkResult::MapViewFailed},
        {"handshake timed out", [](FsuipcEmulator& s) { s.FailNextSends(10, 0); }, LinkResult::SendTimedOut},
        {"handshake refused", [](FsuipcEmulator& s) { s.replyValue = 0; }, LinkResult::ServerRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestHost clock;
        FsuipcEmulator srv(&clock);
        c.setup(srv);
        FPCuser client(srv, clock);
        int32_t r = -1;
        EXPECT_FALSE(client.OpenLink(0, r));
        EXPECT_EQ(r, int32_t(c.expected));
        EXPECT_FALSE(client.IsOpen());
        EXPECT_EQ(srv.LiveAtoms(), 0u);
        EXPECT_EQ(srv.LiveViews(), 0u);
        EXPECT_EQ(srv.LiveMappingHandles(), 0u);
    }
}

TEST_F(FpcLink, TwoClientsOfOneProcessCollideOnTheBlockName)
{
    OpenOrDie();
    FPCuser second(server, host);
    int32_t r = -1;
    EXPECT_FALSE(second.OpenLink(0, r));
    EXPECT_EQ(r, int32_t(LinkResult::MappingFailed));
    // The first link's block survives the second one's clean-up.
    int32_t v = 0;
    ASSERT_TRUE(link.QueueRead(0x3304, 4, &v, result));
    ASSERT_TRUE(link.ProcessQueue(result));
    EXPECT_EQ(uint32_t(v), FsuipcEmulator::kDefaultServerVersion);
}

TEST_F(FpcLink, HandshakeWaitsForAServerThatIsStillStarting)
{
    server.SetServerVersion(0);
    server.beforeServe = [&](uint8_t*, std::size_t) {
        if (server.Exchanges() == 3)
            server.SetServerVersion(0x19980005);
    };
    ASSERT_TRUE(Open());
    EXPECT_EQ(server.Exchanges(), 3);
    EXPECT_EQ(Elapsed(), 300u);
    EXPECT_EQ(server.Writes().size(), 1u);   // the client version goes out in the first pass only
    EXPECT_EQ(link.SimulatorVersion(), 0x000Cu);
}

TEST_F(FpcLink, HandshakeGivesUpAfterFivePasses)
{
    server.SetServerVersion(0);
    EXPECT_FALSE(Open());
    EXPECT_EQ(result, int32_t(LinkResult::WrongServer));
    EXPECT_EQ(server.Exchanges(), 5);
    EXPECT_EQ(Elapsed(), 500u);
    ExpectReleased();
}

TEST_F(FpcLink, OpenChecksTheRequestedSimulatorAgainstTheLow16Bits)
{
    server.SetSimulatorVersion(0xFADE1234);
    ASSERT_TRUE(link.OpenLink(0x1234, result));
    EXPECT_EQ(link.SimulatorVersion(), 0x1234u);
    link.CloseLink();

    EXPECT_FALSE(link.OpenLink(0x1235, result));
    EXPECT_EQ(result, int32_t(LinkResult::WrongSimulator));
    ExpectReleased();
}

TEST_F(FpcLink, SecondOpenIsRefusedAndTheLinkGoesOn)
{
    OpenOrDie();
    const uintptr_t mapping = link.MappingHandle();
    EXPECT_FALSE(Open());
    EXPECT_EQ(result, int32_t(LinkResult::AlreadyOpen));
    EXPECT_EQ(link.MappingHandle(), mapping);
    EXPECT_EQ(link.SimulatorVersion(), 0x000Cu);
    EXPECT_EQ(server.Exchanges(), 1);

    const int16_t lever = 1234;
    ASSERT_TRUE(link.QueueWrite(0x52FA, 2, &lever, result));
    ASSERT_TRUE(link.ProcessQueue(result));
    EXPECT_EQ(server.Peek<int16_t>(0x52FA), 1234);
}

TEST_F(FpcLink, CloseReleasesEverythingAndTheLinkCanOpenAgain)
{
    OpenOrDie();
    link.CloseLink();
    ExpectReleased();
    link.CloseLink();   // harmless when closed
    ExpectReleased();
    EXPECT_TRUE(Open());


    FsuipcEmulator other(&host);
    {
        FPCuser scoped(other, host);   // closes itself when it goes
        ASSERT_TRUE(scoped.OpenLink(0, result));
        EXPECT_EQ(other.LiveViews(), 1u);
    }
    EXPECT_EQ(other.LiveAtoms(), 0u);
    EXPECT_EQ(other.LiveViews(), 0u);
    EXPECT_EQ(other.LiveMappingHandles(), 0u);
    EXPECT_EQ(server.LiveViews(), 1u);   // `link` is still open
}

TEST_F(FpcLink, EveryOperationNeedsAnOpenLink)
{
    uint32_t v = 7;
    EXPECT_FALSE(link.QueueRead(0x3304, 4, &v, result));
    EXPECT_EQ(result, int32_t(LinkResult::NotOpen));
    result = -1;
    EXPECT_FALSE(link.QueueWrite(0x3304, 4, &v, result));
    EXPECT_EQ(result, int32_t(LinkResult::NotOpen));
    result = -1;
    EXPECT_FALSE(link.ProcessQueue(result));
    EXPECT_EQ(result, int32_t(LinkResult::NotOpen));
    EXPECT_EQ(server.SendAttempts(), 0);
    EXPECT_EQ(v, 7u);
}

// ------------------------------------------------------------------ queue and exchange

TEST_F(FpcLink, EmptyQueueSendsNothing)
{
    OpenOrDie();
    const int sends = server.SendAttempts();
    EXPECT_FALSE(link.ProcessQueue(result));
    EXPECT_EQ(result, int32_t(LinkResult::NothingQueued));
    EXPECT_EQ(server.SendAttempts(), sends);
}

// The block as the server receives it, byte for byte.
TEST_F(FpcLink, QueuedRequestsLieBackToBackWithATerminator)
{
    OpenOrDie();
    std::vector<uint8_t> seen;
    server.beforeServe = [&](uint8_t* block, std::size_t size) {
        ASSERT_EQ(size, 0x8000u);
        seen.assign(block, block + 16 + 3 + 12 + 2 + 4);
    };
    uint8_t dest[3] = {9, 9, 9};
    const int16_t value = -2;
    ASSERT_TRUE(link.QueueRead(0x0BCC, 3, dest, result));
    EXPECT_EQ(link.QueuedBytes(), 19u);
    ASSERT_TRUE(link.QueueWrite(0x52FA, 2, &value, result));
    EXPECT_EQ(link.QueuedBytes(), 33u);
    ASSERT_TRUE(link.ProcessQueue(result));
    const std::vector<uint8_t> expected = {
        1, 0, 0, 0, 0xCC, 0x0B, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0,   // read, token 0
        0, 0, 0,                                                // reply area, zeroed
        2, 0, 0, 0, 0xFA, 0x52, 0, 0, 2, 0, 0, 0,               // write
        0xFE, 0xFF,                                             // its data
        0, 0, 0, 0,                                             // terminator
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(link.QueuedBytes(), 0u);
}

TEST_F(FpcLink, RepliesReachTheirDestinationsInQueueOrder)
{
    OpenOrDie();
    server.Poke<int16_t>(0x088C, -3000);
    server.Poke<int32_t>(0x0BCC, 1);
    server.Poke<uint8_t>(0x53FA, 1);
    int16_t lever = 0;
    int32_t arm = 0;
    uint8_t flag = 0;
    uint32_t untouched = 0xDEADBEEF;
    const int16_t command = 100;
    ASSERT_TRUE(link.QueueRead(0x088C, 2, &lever, result));
    ASSERT_TRUE(link.QueueWrite(0x52FA, 2, &command, result));
    ASSERT_TRUE(link.QueueRead(0x3304, 0, &untouched, result));   // a zero-size read copies nothing
    ASSERT_TRUE(link.QueueRead(0x0BCC, 4, &arm, result));
    ASSERT_TRUE(link.QueueRead(0x53FA, 1, nullptr, result));      // nowhere to go
    ASSERT_TRUE(link.QueueRead(0x53FA, 1, &flag, result));
    ASSERT_TRUE(link.ProcessQueue(result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(lever, -3000);
    EXPECT_EQ(arm, 1);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(untouched, 0xDEADBEEFu);
    EXPECT_EQ(server.Peek<int16_t>(0x52FA), 100);
}

TEST_F(FpcLink, WrittenValuesReadBackAndTheSourceIsCopiedAtQueueTime)
{
    OpenOrDie();
    int16_t reverse = -5900;
    int32_t position = 16383;
    ASSERT_TRUE(link.QueueWrite(0x52FA, 2, &reverse, result));
    ASSERT_TRUE(link.QueueWrite(0x0BD0, 4, &position, result));
    reverse = 0;
    position = 0;
    ASSERT_TRUE(link.ProcessQueue(result));
    ASSERT_EQ(server.Writes().size(), 2u);
    EXPECT_EQ(server.Writes()[0].Text(), "FSUIPC write 0x52FA 2 -5900");
    EXPECT_EQ(server.Writes()[1].Text(), "FSUIPC write 0x0BD0 4 16383");

    ASSERT_TRUE(link.QueueRead(0x52FA, 2, &reverse, result));
    ASSERT_TRUE(link.QueueRead(0x0BD0, 4, &position, result));
    ASSERT_TRUE(link.ProcessQueue(result));
    EXPECT_EQ(reverse, -5900);
    EXPECT_EQ(position, 16383);
}

TEST_F(FpcLink, FillLimitRefusesExactlyPastTheBoundary)
{
    // {request before, last request, accepted}: used + header + size + 4
    // must stay within 0x7F00.
    struct Case {
        uint32_t firstRead;   // size of a read queued first (0 = none)
        bool lastIsRead;
        uint32_t lastSize;
        bool accepted;
    };
    const uint32_t room = 0x7F00 - 4;
    const Case cases[] = {
        {0, false, room - 12, true},
        {0, false, room - 11, false},
        {0, true, room - 16, true},
        {0, true, room - 15, false},
        {8, false, room - 24 - 12, true},
        {8, false, room - 24 - 11, false},
        {8, true, 0xFFFFFFFF, false},    // no wrap-around in the arithmetic
        {8, false, 0xFFFFFFF0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.firstRead) + (c.lastIsRead ? " read " : " write ") + std::to_string(c.lastSize));
        TestHost clock;
        FsuipcEmulator srv(&clock);
        FPCuser client(srv, clock);
        int32_t r = -1;
        ASSERT_TRUE(client.OpenLink(0, r));
        srv.Poke<uint64_t>(0x2000, 0x0102030405060708);
        uint64_t first = 0;
        if (c.firstRead) {
            ASSERT_TRUE(client.QueueRead(0x2000, c.firstRead, &first, r));
        }
        const std::size_t before = client.QueuedBytes();

        std::vector<uint8_t> big(c.accepted ? c.lastSize : 0, 0x5A);
        const bool ok = c.lastIsRead ? client.QueueRead(0x100, c.lastSize, big.data(), r)
                                     : client.QueueWrite(0x100, c.lastSize, big.data(), r);
        EXPECT_EQ(ok, c.accepted);
        EXPECT_EQ(r, c.accepted ? 0 : int32_t(LinkResult::BlockFull));
        if (c.accepted) {
            EXPECT_EQ(client.QueuedBytes(), room);
            // The block is full to the byte: nothing more fits, not even an empty read.
            EXPECT_FALSE(client.QueueRead(0, 0, nullptr, r));
            EXPECT_EQ(r, int32_t(LinkResult::BlockFull));
        } else {
            EXPECT_EQ(client.QueuedBytes(), before);
        }
        if (client.QueuedBytes() > 0) {
            ASSERT_TRUE(client.ProcessQueue(r));
            if (c.firstRead) {
                EXPECT_EQ(first, 0x0102030405060708u);
            }
            EXPECT_EQ(srv.Writes().size(), 1u + (c.accepted && !c.lastIsRead));
        }
    }
}

TEST_F(FpcLink, SendFailuresRetryTenTimesThenDropTheQueue)
{
    struct Case {
        uint32_t lastError;
        int failures;
        LinkResult expected;
        uint64_t elapsed;   // each time-out blocks 2000 ms, each failure sleeps 100 ms
    };
    const Case cases[] = {
        {0, 10, LinkResult::SendTimedOut, 10 * 2100},
        {FsuipcEmulator::kErrorInvalidWindowHandle, 10, LinkResult::SendFailed, 10 * 100},
        {5, 10, LinkResult::SendFailed, 10 * 100},
        {0, 9, LinkResult::Ok, 9 * 2100},
        {5, 9, LinkResult::Ok, 9 * 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.lastError) + " x" + std::to_string(c.failures));
        TestHost clock(kStart);
        FsuipcEmulator srv(&clock);
        FPCuser client(srv, clock);
        int32_t r = -1;
        ASSERT_TRUE(client.OpenLink(0, r));
        srv.Poke<int16_t>(0x088C, -3000);
        const uint64_t t0 = clock.NowMs();
        const int sends0 = srv.SendAttempts();

        int16_t lever = 77;
        const int16_t zero = 0;
        ASSERT_TRUE(client.QueueRead(0x088C, 2, &lever, r));
        ASSERT_TRUE(client.QueueWrite(0x088C, 2, &zero, r));
        srv.FailNextSends(c.failures, c.lastError);
        EXPECT_EQ(client.ProcessQueue(r), c.expected == LinkResult::Ok);
        EXPECT_EQ(r, int32_t(c.expected));
        EXPECT_EQ(clock.NowMs() - t0, c.elapsed);
        EXPECT_EQ(srv.SendAttempts() - sends0, std::min(c.failures + 1, 10));
        EXPECT_EQ(lever, c.expected == LinkResult::Ok ? -3000 : 77);
        EXPECT_EQ(srv.Writes().size(), 1u + (c.expected == LinkResult::Ok));

        // Either way the queue is empty and the link still open.
        EXPECT_TRUE(client.IsOpen());
        EXPECT_EQ(client.QueuedBytes(), 0u);
        EXPECT_FALSE(client.ProcessQueue(r));
        EXPECT_EQ(r, int32_t(LinkResult::NothingQueued));
    }
}

TEST_F(FpcLink, AServerThatVanishesFailsWithASystemError)
{
    OpenOrDie();
    server.windowClass.clear();
    uint32_t v = 5;
    ASSERT_TRUE(link.QueueRead(0x3304, 4, &v, result));
    EXPECT_FALSE(link.ProcessQueue(result));
    EXPECT_EQ(result, int32_t(LinkResult::SendFailed));
    EXPECT_EQ(v, 5u);
}

TEST_F(FpcLink, ReplyOtherThanSuccessLeavesDestinationsAlone)
{
    OpenOrDie();
    for (uintptr_t reply : {uintptr_t(0), uintptr_t(2), ~uintptr_t(0)}) {
        server.replyValue = reply;
        uint32_t v = 5;
        ASSERT_TRUE(link.QueueRead(0x3304, 4, &v, result));
        EXPECT_FALSE(link.ProcessQueue(result));
        EXPECT_EQ(result, int32_t(LinkResult::ServerRefused));
        EXPECT_EQ(v, 5u);
        EXPECT_EQ(link.QueuedBytes(), 0u);
    }
}

// A hostile or broken server hands back a damaged block: the walk stays
// inside the block and inside each destination, and reports 13.
TEST_F(FpcLink, GarbledBlockStopsUnpackingWithinBounds)
{
    using ipc::Store32;
    // Queued: read 0x3304 (4) at 0, write 0x52FA (2) at 20, read 0x3308 (4) at 34, terminator at 54.
    struct Case {
        const char* what;
        std::function<void(uint8_t*, std::size_t)> damage;
        int copied;   // reads that reached their destination before the damage
    };
    const Case cases[] = {
        {"unknown first kind", [](uint8_t* b, std::size_t) { Store32(b, 3); }, 0},
        {"unknown later kind", [](uint8_t* b, std::size_t) { Store32(b + 34, 0x101); }, 1},
        {"read size past the block", [](uint8_t* b, std::size_t) { Store32(b + 8, 0x7FFFFFFF); }, 0},
        {"write size past the block", [](uint8_t* b, std::size_t) { Store32(b + 28, 0xFFFFFFF8); }, 1},
        {"read grown within the block", [](uint8_t* b, std::size_t) { Store32(b + 42, 4000); }, 1},
        {"read shrunk", [](uint8_t* b, std::size_t) { Store32(b + 8, 2); }, 0},
        {"token changed", [](uint8_t* b, std::size_t) { Store32(b + 12, 1); }, 0},
        {"block ends before the last read", [](uint8_t* b, std::size_t) { Store32(b + 34, 0); }, 1},
        {"extra read appended",
         [](uint8_t* b, std::size_t) {
             Store32(b + 54, 1);
             Store32(b + 58, 0);
             Store32(b + 62, 4);
             Store32(b + 66, 2);
             Store32(b + 74, 0);
         },
         2},
        {"no terminator: empty writes up to the end",
         [](uint8_t* b, std::size_t size) {
             for (std::size_t p = 54; p + 12 <= size; p += 12) {
                 Store32(b + p, 2);
                 Store32(b + p + 4, 0);
                 Store32(b + p + 8, 0);
             }
         },
         2},
        {"last request ends at the end of the block",
         [](uint8_t* b, std::size_t size) {
             Store32(b + 54, 2);
             Store32(b + 58, 0);
             Store32(b + 62, uint32_t(size - 54 - 12));
         },
         2},
        {"every byte set", [](uint8_t* b, std::size_t size) { std::memset(b, 0xFF, size); }, 0},
    };
    OpenOrDie();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.afterServe = c.damage;
        // Guards on both sides show any copy that strays out of a destination.
        struct {
            uint32_t before = 0x11111111;
            uint32_t value = 0;
            uint32_t after = 0x22222222;
        } first, second;
        const int16_t lever = 5;
        ASSERT_TRUE(link.QueueRead(0x3304, 4, &first.value, result));
        ASSERT_TRUE(link.QueueWrite(0x52FA, 2, &lever, result));
        ASSERT_TRUE(link.QueueRead(0x3308, 4, &second.value, result));
        ASSERT_EQ(link.QueuedBytes(), 54u);
        EXPECT_FALSE(link.ProcessQueue(result));
        EXPECT_EQ(result, int32_t(LinkResult::ServerRefused));
        EXPECT_EQ(first.value, c.copied >= 1 ? FsuipcEmulator::kDefaultServerVersion : 0u);
        EXPECT_EQ(second.value, c.copied >= 2 ? FsuipcEmulator::kDefaultSimulatorVersion : 0u);
        for (const auto* g : {&first, &second}) {
            EXPECT_EQ(g->before, 0x11111111u);
            EXPECT_EQ(g->after, 0x22222222u);
        }
        // The link is still usable once the server behaves again.
        server.afterServe = nullptr;
        ASSERT_TRUE(link.QueueRead(0x3308, 4, &second.value, result));
        ASSERT_TRUE(link.ProcessQueue(result));
        EXPECT_EQ(second.value, FsuipcEmulator::kDefaultSimulatorVersion);
    }
}

} // namespace
} // namespace zrk
