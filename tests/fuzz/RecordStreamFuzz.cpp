// Feeds arbitrary bytes, cut into arbitrary pieces, through the record
// receiver and the channel that owns it, and checks what comes out.
//
// Input: a sequence of control bytes, each followed by the piece it
// describes:
//   0x00..0xF9  a read that yields that many bytes (capped at what was
//               asked for and what is left of the input)
//   0xFA        a read that yields the next two bytes' worth (little-endian)
//   0xFB        a failing read (-1)
//   0xFC        a read claiming one byte more than was asked for
//   0xFD        a new connection (the receive state is reset)
//   0xFE, 0xFF  a read claiming a huge count
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>

#include "ports/EventLoop.h"
#include "bridge/BridgeChannel.h"
#include "bridge/RecordAssembler.h"
#include "bridge/UpdateRecord.h"
#include "bridge/VirtualBridgeSocket.h"

namespace {

using namespace zrk;

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

void CheckRecord(const uint8_t* record)
{
    const NameValue nv = DecodeRecord(record);
    Check(nv.name.size() <= kNameCapacity && nv.value.size() <= kValueCapacity);
    Check(nv.name.size() == std::min<std::size_t>(record[kNameLengthOffset], kNameCapacity));
    const bool quit = IsQuitOrder(record);
    Check(quit == (nv.name == kQuitOrderName));
    // Re-encoding gives the canonical record of the same pair, unless the
    // name itself holds the separator.
    if (nv.name.find('=') == std::string::npos) {
        const RecordBytes again = EncodeMessage(nv.name + "=" + nv.value);
        Check(DecodeRecord(again.data()) == nv);
    }
}

void FuzzAssembler(const uint8_t* data, std::size_t size)
{
    RecordAssembler assembler;
    std::size_t pos = 0;
    while (pos < size) {
        const uint8_t control = data[pos++];
        if (control == 0xFD) {
            assembler.Reset();
            continue;
        }
        std::size_t piece = control;
        if (control == 0xFA && pos + 2 <= size) {
            piece = std::size_t(data[pos]) | std::size_t(data[pos + 1]) << 8;
            pos += 2;
        }
        const std::size_t heldBefore = assembler.Held();
        const auto read = [&](uint8_t* buffer, std::size_t max) -> long {
            Check(max > 0 && heldBefore + max == kRecordSize);
            switch (control) {
            case 0xFB: return -1;
            case 0xFC: return long(max + 1);
            case 0xFE:
            case 0xFF: return long(max) + 100000;
            default: break;
            }
            const std::size_t n = std::min({piece, max, size - pos});
            // Writing all of `max` checks the room the receiver claims to have.
            for (std::size_t i = 0; i < max; ++i)
                buffer[i] = i < n ? data[pos + i] : 0xCD;
            pos += n;
            return long(n);
        };
        const long got = assembler.OnDataAvailable(read, CheckRecord);
        Check(assembler.Held() < kRecordSize);
        if (got <= 0 || got == RecordAssembler::kIgnoredReadSize)
            Check(assembler.Held() == heldBefore);
    }
}

// An event loop that only queues posted calls.
class QueueLoop : public IEventLoop {
public:
    void SetTimer(TimerId, bool, uint32_t) override {}
    void Post(std::function<void()> fn) override { queue_.push_back(std::move(fn)); }
    void Terminate() override {}
    void Minimize() override {}
    void Run()
    {
        while (!queue_.empty()) {
            auto fn = std::move(queue_.front());
            queue_.pop_front();
            fn();
        }
    }

private:
    std::deque<std::function<void()>> queue_;
};

void FuzzChannel(const uint8_t* data, std::size_t size)
{
    QueueLoop loop;
    VirtualBridgeSocket socket(loop, VirtualBridgeSocket::Answer::Accept);
    int quits = 0;
    BridgeChannel channel(socket, [&] { ++quits; }, [](const std::string&) { std::abort(); });
    channel.Start();
    loop.Run();
    std::size_t pos = 0;
    while (pos < size) {
        const uint8_t control = data[pos++];
        if (control == 0xFD) {
            socket.PeerClose();
            loop.Run();
            channel.ReconnectTimer(0);
            loop.Run();
            continue;
        }
        const std::size_t n = std::min<std::size_t>(control, size - pos);
        socket.Deliver(data + pos, n);
        pos += n;
        loop.Run();
        Check(channel.Receiver().Held() < kRecordSize);
    }
    Check(quits <= 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzAssembler(data, size);
    FuzzChannel(data, size);
    return 0;
}
