#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "app/TestHost.h"
#include "sim/FPCuser.h"
#include "sim/FsuipcEmulator.h"

namespace zrk {
namespace {

using ipc::Store32;

TEST(FsuipcEmulator, OffsetSpaceIsLittleEndianAndClippedAt64KiB)
{
    FsuipcEmulator s;
    s.Poke<int16_t>(0x0010, -2);
    uint8_t b[2] = {};
    s.PeekBytes(0x0010, b, 2);
    EXPECT_EQ(b[0], 0xFE);
    EXPECT_EQ(b[1], 0xFF);
    EXPECT_EQ(s.Peek<uint16_t>(0x0010), 0xFFFEu);
    s.Poke<uint64_t>(0x0020, 0x0102030405060708);
    EXPECT_EQ(s.Peek<uint32_t>(0x0020), 0x05060708u);
    EXPECT_EQ(s.Peek<uint8_t>(0x0027), 0x01u);

    s.Poke<uint32_t>(0xFFFE, 0x11223344);   // half of it lies outside
    EXPECT_EQ(s.Peek<uint32_t>(0xFFFE), 0x3344u);
    s.Poke<uint32_t>(0xFFFFFFFE, 0xAABBCCDD);   // far outside, never wrapping to 0
    EXPECT_EQ(s.Peek<uint32_t>(0), 0u);
    EXPECT_EQ(s.Peek<uint32_t>(0xFFFFFFFE), 0u);
}

TEST(FsuipcEmulator, RequestsBeyondTheOffsetSpaceAreClippedAndZeroFilled)
{
    TestHost host;
    FsuipcEmulator s(&host);
    FPCuser link(s, host);
    int32_t r = -1;
    ASSERT_TRUE(link.OpenLink(0, r));
    s.Poke<uint16_t>(0xFFFE, 0xBBAA);

    std::array<uint8_t, 4> edge;
    edge.fill(0x77);
    std::array<uint8_t, 8> far;
    far.fill(0x77);
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(link.QueueRead(0xFFFE, 4, edge.data(), r));
    ASSERT_TRUE(link.QueueRead(0xFFFFFFFC, 8, far.data(), r));
    ASSERT_TRUE(link.QueueWrite(0xFFFF, 4, data, r));
    ASSERT_TRUE(link.QueueWrite(0xFFFFFFFC, 8, data, r));
    ASSERT_TRUE(link.ProcessQueue(r));

    EXPECT_EQ(edge, (std::array<uint8_t, 4>{0xAA, 0xBB, 0, 0}));
    EXPECT_EQ(far, (std::array<uint8_t, 8>{}));
    EXPECT_EQ(s.Peek<uint8_t>(0xFFFF), 1u);
    EXPECT_EQ(s.Peek<uint32_t>(0), 0u);
    // Both writes are on record as they were asked for.
    ASSERT_EQ(s.Writes().size(), 3u);   // after the handshake's
    EXPECT_EQ(s.Writes()[1], (FsuipcWrite{0xFFFF, 4, {1, 2, 3, 4}}));
    EXPECT_EQ(s.Writes()[2].offset, 0xFFFFFFFCu);
}

TEST(FsuipcEmulator, WriteRecordsPrintAsOffsetSizeValue)
{
    struct Case {
        FsuipcWrite write;
        int64_t value;
        const char* text;
    };
    const Case cases[] = {
        {{0x53FA, 1, {0x01}}, 1, "FSUIPC write 0x53FA 1 1"},
        {{0x53FB, 1, {0xFF}}, -1, "FSUIPC write 0x53FB 1 -1"},
        {{0x52FA, 2, {0xF4, 0xE8}}, -5900, "FSUIPC write 0x52FA 2 -5900"},
        {{0x0BD0, 4, {0xFF, 0x3F, 0, 0}}, 16383, "FSUIPC write 0x0BD0 4 16383"},
        {{0x0BCC, 4, {0, 0, 0, 0x80}}, -2147483648LL, "FSUIPC write 0x0BCC 4 -2147483648"},
        {{0x10000, 8, {1, 0, 0, 0, 0, 0, 0, 0x80}}, int64_t(0x8000000000000001ULL),
         "FSUIPC write 0x10000 8 -9223372036854775807"},
        {{0x0100, 3, {0x0A, 0xB0, 0x0C}}, 0, "FSUIPC write 0x0100 3 0x0AB00C"},
        {{0x0100, 0, {}}, 0, "FSUIPC write 0x0100 0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.write.Value(), c.value) << c.text;
        EXPECT_EQ(c.write.Text(), c.text);
    }
}

// A client other than ours, talking to the server through the primitives:
// whatever the block holds, the server stays inside it.
class FsuipcServerWalk : public testing::Test {
protected:
    FsuipcEmulator s;
    uint16_t atom = 0;
    uintptr_t mapping = 0;
    uint8_t* block = nullptr;
    uint32_t msg = 0;

    void SetUp() override
    {
        atom = s.AddGlobalAtom("FsasmLib:IPC:99:1");
        mapping = s.CreateNamedMapping("FsasmLib:IPC:99:1", ipc::kBlockSize).handle;
        block = s.MapBlockView(mapping);
        msg = s.RegisterMessageName("FsasmLib:IPC");
        ASSERT_NE(block, nullptr);
        s.Poke<uint32_t>(0x0200, 0xCAFEF00D);
    }
    void TearDown() override
    {
        s.UnmapBlockView(block);
        s.CloseMapping(mapping);
        s.DeleteGlobalAtom(atom);
    }
    IIpcTransport::SendResult Send(uintptr_t wparam)
    {
        return s.SendWithTimeout(FsuipcEmulator::kWindowHandle, msg, wparam, 0, 2000);
    }
};

TEST_F(FsuipcServerWalk, StopsAtAnUnknownKind)
{
    Store32(block, 2);
    Store32(block + 4, 0x0100);
    Store32(block + 8, 1);
    block[12] = 0x42;
    Store32(block + 13, 9);   // unknown
    Store32(block + 17, 2);
    Store32(block + 21, 0x0101);
    Store32(block + 25, 1);
    block[29] = 0x43;
    Store32(block + 30, 0);
    EXPECT_EQ(Send(atom).reply, 1u);
    ASSERT_EQ(s.Writes().size(), 1u);
    EXPECT_EQ(s.Peek<uint8_t>(0x0100), 0x42u);
    EXPECT_EQ(s.Peek<uint8_t>(0x0101), 0u);
}

TEST_F(FsuipcServerWalk, FillsAReadThatEndsAtTheBlocksEndAndNothingPast)
{
    // A read whose reply area runs to the last byte of the block, and one
    // whose size runs past it.
    const uint32_t size = ipc::kBlockSize - 16;
    Store32(block, 1);
    Store32(block + 4, 0x0200);
    Store32(block + 8, size);
    std::memset(block + 16, 0x77, size);
    ASSERT_EQ(Send(atom).reply, 1u);
    EXPECT_EQ(ipc::Load32(block + 16), 0xCAFEF00Du);
    EXPECT_EQ(block[ipc::kBlockSize - 1], 0u);   // the 0x77s are all overwritten

    Store32(block + 8, size + 1);
    std::memset(block + 16, 0x77, size);
    ASSERT_EQ(Send(atom).reply, 1u);
    EXPECT_EQ(block[16], 0x77u);   // not served at all
}

TEST_F(FsuipcServerWalk, KeepsItsIdentificationWordsAndAnswersOnlyItsOwnMessage)
{
    Store32(block, 2);
    Store32(block + 4, ipc::kServerVersionOffset);
    Store32(block + 8, 8);
    Store32(block + 20, 0);
    ASSERT_EQ(Send(atom).reply, 1u);
    EXPECT_EQ(s.Writes().size(), 1u);
    EXPECT_EQ(s.Peek<uint32_t>(ipc::kServerVersionOffset), FsuipcEmulator::kDefaultServerVersion);
    EXPECT_EQ(s.Peek<uint32_t>(ipc::kSimulatorVersionOffset), FsuipcEmulator::kDefaultSimulatorVersion);

    const int served = s.Exchanges();
    EXPECT_EQ(Send(0xC000).reply, 0u);                                   // no such atom
    EXPECT_EQ(Send(uintptr_t(atom) | 0x10000).reply, 0u);               // not an atom at all
    EXPECT_EQ(s.SendWithTimeout(FsuipcEmulator::kWindowHandle, msg + 1, atom, 0, 2000).reply, 0u);
    const auto wrongWindow = s.SendWithTimeout(1, msg, atom, 0, 2000);
    EXPECT_FALSE(wrongWindow.ok);
    EXPECT_EQ(wrongWindow.lastError, FsuipcEmulator::kErrorInvalidWindowHandle);
    EXPECT_EQ(s.Exchanges(), served);
}

} // namespace
} // namespace zrk
