#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ports/Clock.h"
#include "sim/IpcTransport.h"

namespace zrk {

// The outcome every link operation stores into the caller's result
// variable (as its int value).
enum class LinkResult : int32_t {
    Ok = 0,
    AlreadyOpen = 1,
    NoServerWindow = 2,        // neither "UIPCMAIN" nor "FS98MAIN"
    RegisterFailed = 3,        // registering the window message
    AtomFailed = 4,
    MappingFailed = 5,         // or a mapping of that name already existed
    MapViewFailed = 6,
    WrongServer = 7,           // version or signature refused, window "UIPCMAIN"
    WrongSimulator = 8,        // not the simulator asked for
    NotOpen = 9,
    NothingQueued = 10,
    SendTimedOut = 11,         // every send attempt timed out
    SendFailed = 12,           // every send attempt failed with a system error
    ServerRefused = 13,        // reply value not 1, or a garbled block came back
    WrongServerFallback = 14,  // as WrongServer, window "FS98MAIN"
    BlockFull = 15,
};

// The controller's link to the simulator's interface module: opens it,
// collects read and write requests for simulator offsets in the shared
// block, hands the block over in one synchronous exchange, copies the
// replies to the places that asked for them, and closes the link.
// Not thread-safe; used from the event-loop thread only. Every sleep goes
// through the clock, every system call through the transport.
class FPCuser {
public:
    static constexpr uint32_t kClientLibraryVersion = 2005;
    static constexpr uint32_t kMinServerVersion = 0x19980005;
    static constexpr uint32_t kSimulatorSignature = 0xFADE;
    static constexpr int kHandshakePasses = 5;
    static constexpr int kSendAttempts = 10;
    static constexpr uint32_t kRetrySleepMs = 100;
    static constexpr uint32_t kSendTimeoutMs = 2000;

    FPCuser(IIpcTransport& transport, IClock& clock);
    ~FPCuser();
    FPCuser(const FPCuser&) = delete;
    FPCuser& operator=(const FPCuser&) = delete;

    // Opens the link and runs the version handshake. `requestedSim` 0
    // accepts any simulator. A failed open leaves the link closed.
    bool OpenLink(uint32_t requestedSim, int32_t& result);
    // Queues a read of `size` bytes at `offset` into `dest`, which must stay
    // valid until the next ProcessQueue. A null `dest` reads nothing back.
    bool QueueRead(uint32_t offset, uint32_t size, void* dest, int32_t& result);
    // Queues a write; the bytes are copied into the block at once.
    bool QueueWrite(uint32_t offset, uint32_t size, const void* src, int32_t& result);
    // One exchange for everything queued since the last one. The queue is
    // empty afterwards whatever the outcome; on failure the read
    // destinations keep their previous values.
    bool ProcessQueue(int32_t& result);
    // Releases everything; harmless when closed.
    void CloseLink();

    bool IsOpen() const { return viewStart_ != nullptr; }
    uint32_t ServerVersion() const { return serverVersion_; }
    // After a successful open: the low 16 bits of the simulator word.
    uint32_t SimulatorVersion() const { return simulatorVersion_; }
    uint32_t ClientLibraryVersion() const { return clientLibraryVersion_; }
    uintptr_t ServerWindow() const { return serverWindow_; }
    uint32_t MessageId() const { return messageId_; }
    uint16_t Atom() const { return atom_; }
    uintptr_t MappingHandle() const { return mapping_; }
    const uint8_t* ViewStart() const { return viewStart_; }
    // Bytes of requests queued (without the terminator).
    std::size_t QueuedBytes() const { return std::size_t(nextFree_ - viewStart_); }

private:
    bool Fail(LinkResult code, int32_t& result);
    bool Fits(uint32_t header, uint32_t size) const;
    bool Unpack();

    IIpcTransport& transport_;
    IClock& clock_;

    uint32_t serverVersion_ = 0;
    uint32_t simulatorVersion_ = 0;
    const uint32_t clientLibraryVersion_ = kClientLibraryVersion;
    uintptr_t serverWindow_ = 0;
    uint32_t messageId_ = 0;
    uint16_t atom_ = 0;
    uintptr_t mapping_ = 0;
    uint8_t* viewStart_ = nullptr;
    uint8_t* nextFree_ = nullptr;

    // Read destinations in queue order; the block carries each one's index
    // as its token. Reserved for a full block, so queueing never allocates.
    struct Destination {
        void* dest;
        uint32_t size;
    };
    std::vector<Destination> reads_;
};

} // namespace zrk
