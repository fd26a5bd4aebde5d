// Runs the simulator link against a server that damages the block it
// hands back, and checks how the client takes the replies apart:
// - nothing is read or written outside the block or outside a read's
//   destination (each destination is its own allocation of exactly the
//   size asked for, so the address sanitizer sees any stray byte);
// - an exchange either succeeds or is refused (13); the queue is empty
//   afterwards and the link stays open and usable;
// - a success means the block handed back holds every queued read, in
//   order and of its size, and each destination got its bytes; an
//   undamaged block always succeeds;
// - a failed open leaves nothing of the system's behind.
//
// Input: a flags byte (bit 0: the handshake's blocks are damaged too), the
// damage for the handshake, then rounds until the input runs out, each
// with its requests and the damage done to its block.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "ports/Clock.h"
#include "sim/FPCuser.h"
#include "sim/FsuipcEmulator.h"
#include "sim/IpcBlock.h"

namespace {

using namespace zrk;

// Stops the run, naming the broken expectation.
#define Check(ok)                                                          \
    do {                                                                   \
        if (!(ok)) {                                                       \
            std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #ok); \
            std::abort();                                                  \
        }                                                                  \
    } while (0)

class StillClock : public IClock {
public:
    uint32_t TickCount() override { return 0; }
    void Sleep(uint32_t) override {}
    LocalTime Now() override { return {}; }
};

// What the server does to the block after serving it.
struct Damage {
    struct Patch {
        std::size_t at;
        std::vector<uint8_t> bytes;
    };
    std::vector<Patch> patches;
    uintptr_t reply = 1;

    bool None() const { return patches.empty() && reply == 1; }
    void ApplyTo(uint8_t* block, std::size_t size) const
    {
        for (const Patch& p : patches) {
            const std::size_t at = p.at % size;
            if (!p.bytes.empty())
                std::memcpy(block + at, p.bytes.data(), std::min(p.bytes.size(), size - at));
        }
    }
};

// Patches land mostly where the requests are (`used` bytes), so that the
// fuzzer meets headers and sizes rather than empty block.
Damage TakeDamage(FuzzedDataProvider& in, std::size_t used)
{
    Damage d;
    const int kind = in.ConsumeIntegralInRange(0, 3);
    if (kind == 0)
        return d;
    if (kind == 3)
        d.reply = in.ConsumeIntegral<uint8_t>();
    const int count = in.ConsumeIntegralInRange(1, 6);
    for (int i = 0; i < count; ++i) {
        Damage::Patch p;
        const auto where = in.ConsumeIntegral<uint16_t>();
        p.at = in.ConsumeBool() ? where % (used + 8) : where;
        p.bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(1, 8));
        d.patches.push_back(std::move(p));
    }
    return d;
}

struct Read {
    uint32_t size;
    std::unique_ptr<uint8_t[]> dest;   // exactly `size` bytes, or none
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    StillClock clock;
    FsuipcEmulator server;
    server.recordWrites = false;
    FPCuser link(server, clock);
    int32_t result = -1;

    const uint8_t flags = in.ConsumeIntegral<uint8_t>();
    Damage handshake;
    if (flags & 1) {
        handshake = TakeDamage(in, 64);
        server.afterServe = [&](uint8_t* block, std::size_t n) { handshake.ApplyTo(block, n); };
    }
    if (!link.OpenLink(0, result)) {
        Check(!link.IsOpen());
        Check(server.LiveAtoms() == 0 && server.LiveViews() == 0 && server.LiveMappingHandles() == 0);
        return 0;
    }
    Check(result == int32_t(LinkResult::Ok));

    while (in.remaining_bytes() > 0) {
        std::vector<Read> reads;
        const int requests = in.ConsumeIntegralInRange(0, 12);
        for (int r = 0; r < requests; ++r) {
            const bool isRead = in.ConsumeBool();
            const auto offset = in.ConsumeIntegral<uint16_t>();
            const auto s = in.ConsumeIntegral<uint8_t>();
            // Now and then one large enough to fill the block.
            const uint32_t bytes = s < 0xF0 ? s : uint32_t(s - 0xEF) * 2048;
            const std::size_t at = link.QueuedBytes();
            if (isRead) {
                Read read{bytes, nullptr};
                if (in.ConsumeBool())
                    read.dest = std::make_unique<uint8_t[]>(bytes);
                if (link.QueueRead(offset, bytes, read.dest.get(), result))
                    reads.push_back(std::move(read));
                else
                    Check(result == int32_t(LinkResult::BlockFull) && link.QueuedBytes() == at);
            } else {
                std::vector<uint8_t> src(bytes, uint8_t(r));
                if (!link.QueueWrite(offset, bytes, src.data(), result))
                    Check(result == int32_t(LinkResult::BlockFull) && link.QueuedBytes() == at);
            }
        }

        const Damage damage = TakeDamage(in, link.QueuedBytes());
        std::vector<uint8_t> served;   // the block as the client finds it
        server.afterServe = [&](uint8_t* block, std::size_t n) {
            damage.ApplyTo(block, n);
            served.assign(block, block + n);
        };
        server.replyValue = damage.reply;
        const bool queued = link.QueuedBytes() > 0;
        const bool ok = link.ProcessQueue(result);

        Check(link.IsOpen() && link.QueuedBytes() == 0);
        if (!queued) {
            Check(!ok && result == int32_t(LinkResult::NothingQueued));
            continue;
        }
        if (damage.None())
            Check(ok);
        Check(ok ? result == int32_t(LinkResult::Ok) : result == int32_t(LinkResult::ServerRefused));
        if (!ok)
            continue;
        // A success: walking the block as served meets exactly the reads
        // queued, in order and of their sizes, and each destination got its
        // reply area.
        std::size_t pos = 0, found = 0;
        ipc::Request req;
        for (;;) {
            const ipc::Step step = ipc::ReadRequest(served.data(), served.size(), pos, req);
            Check(step != ipc::Step::Garbled);
            if (step == ipc::Step::End)
                break;
            if (req.kind == ipc::kKindRead) {
                Check(found < reads.size() && req.size == reads[found].size);
                const Read& read = reads[found++];
                if (read.dest && read.size > 0)
                    Check(std::memcmp(read.dest.get(), served.data() + req.data, read.size) == 0);
            }
            pos = req.next;
        }
        Check(found == reads.size());
    }
    link.CloseLink();
    Check(server.LiveAtoms() == 0 && server.LiveViews() == 0 && server.LiveMappingHandles() == 0);
    return 0;
}
