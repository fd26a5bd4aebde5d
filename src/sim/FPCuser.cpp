#include "sim/FPCuser.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "sim/IpcBlock.h"

namespace zrk {

// Replies are copied byte for byte into the caller's variables, which is
// only right when the host is little-endian like the offset space.
static_assert(std::endian::native == std::endian::little);

namespace {
// The most reads a block can hold: each takes at least its header.
constexpr std::size_t kMaxReads = (ipc::kFillLimit - ipc::kTerminatorSize) / ipc::kReadHeaderSize;
} // namespace

FPCuser::FPCuser(IIpcTransport& transport, IClock& clock) : transport_(transport), clock_(clock)
{
    reads_.reserve(kMaxReads);
}

FPCuser::~FPCuser()
{
    CloseLink();
}

bool FPCuser::Fail(LinkResult code, int32_t& result)
{
    result = int32_t(code);
    return false;
}

bool FPCuser::OpenLink(uint32_t requestedSim, int32_t& result)
{
    if (viewStart_)
        return Fail(LinkResult::AlreadyOpen, result);

    serverVersion_ = 0;
    simulatorVersion_ = 0;

    bool fallback = false;
    serverWindow_ = transport_.FindTopWindow(ipc::kServerWindowClass);
    if (!serverWindow_) {
        serverWindow_ = transport_.FindTopWindow(ipc::kFallbackWindowClass);
        fallback = true;
    }
    if (!serverWindow_)
        return Fail(LinkResult::NoServerWindow, result);

    // From here on every failure releases what was taken so far.
    auto abandon = [&](LinkResult code) {
        CloseLink();
        return Fail(code, result);
    };

    messageId_ = transport_.RegisterMessageName(ipc::kMessageName);
    if (!messageId_)
        return abandon(LinkResult::RegisterFailed);

    // The server finds the block through this name, passed as an atom.
    char name[48];
    std::snprintf(name, sizeof name, "%s:%X:%X", ipc::kMessageName, unsigned(transport_.CurrentProcessId()), 1u);
    atom_ = transport_.AddGlobalAtom(name);
    if (!atom_)
        return abandon(LinkResult::AtomFailed);

    const IIpcTransport::Mapping m = transport_.CreateNamedMapping(name, ipc::kBlockSize);
    mapping_ = m.handle;
    if (!mapping_ || m.alreadyExisted)
        return abandon(LinkResult::MappingFailed);

    viewStart_ = transport_.MapBlockView(mapping_);
    if (!viewStart_)
        return abandon(LinkResult::MapViewFailed);
    nextFree_ = viewStart_;

    // Handshake: a server still starting up answers zeros, so ask again.
    for (int pass = 0; pass < kHandshakePasses && (serverVersion_ == 0 || simulatorVersion_ == 0); ++pass) {
        if (!QueueRead(ipc::kServerVersionOffset, 4, &serverVersion_, result)
            || !QueueRead(ipc::kSimulatorVersionOffset, 4, &simulatorVersion_, result)) {
            CloseLink();
            return false;
        }
        if (pass == 0) {
            const uint8_t version[2] = {uint8_t(clientLibraryVersion_), uint8_t(clientLibraryVersion_ >> 8)};
            if (!QueueWrite(ipc::kClientVersionOffset, 2, version, result)) {
                CloseLink();
                return false;
            }
        }
        if (!ProcessQueue(result)) {
            CloseLink();
            return false;
        }
        clock_.Sleep(kRetrySleepMs);
    }

    if (serverVersion_ < kMinServerVersion || (simulatorVersion_ >> 16) != kSimulatorSignature)
        return abandon(fallback ? LinkResult::WrongServerFallback : LinkResult::WrongServer);

    simulatorVersion_ &= 0xFFFF;
    if (requestedSim != 0 && requestedSim != simulatorVersion_)
        return abandon(LinkResult::WrongSimulator);

    result = int32_t(LinkResult::Ok);
    return true;
}

bool FPCuser::Fits(uint32_t header, uint32_t size) const
{
    const uint64_t used = uint64_t(nextFree_ - viewStart_);
    return used + ipc::kTerminatorSize + header + uint64_t(size) <= ipc::kFillLimit;
}

bool FPCuser::QueueRead(uint32_t offset, uint32_t size, void* dest, int32_t& result)
{
    if (!viewStart_)
        return Fail(LinkResult::NotOpen, result);
    if (!Fits(ipc::kReadHeaderSize, size))
        return Fail(LinkResult::BlockFull, result);

    ipc::Store32(nextFree_, ipc::kKindRead);
    ipc::Store32(nextFree_ + 4, offset);
    ipc::Store32(nextFree_ + 8, size);
    ipc::Store32(nextFree_ + 12, uint32_t(reads_.size()));
    nextFree_ += ipc::kReadHeaderSize;
    if (size > 0)
        std::memset(nextFree_, 0, size);
    nextFree_ += size;
    reads_.push_back({dest, size});
    result = int32_t(LinkResult::Ok);
    return true;
}

bool FPCuser::QueueWrite(uint32_t offset, uint32_t size, const void* src, int32_t& result)
{
    if (!viewStart_)
        return Fail(LinkResult::NotOpen, result);
    if (!Fits(ipc::kWriteHeaderSize, size))
        return Fail(LinkResult::BlockFull, result);

    ipc::Store32(nextFree_, ipc::kKindWrite);
    ipc::Store32(nextFree_ + 4, offset);
    ipc::Store32(nextFree_ + 8, size);
    nextFree_ += ipc::kWriteHeaderSize;
    if (size > 0) {
        if (src)
            std::memcpy(nextFree_, src, size);
        else
            std::memset(nextFree_, 0, size);
    }
    nextFree_ += size;
    result = int32_t(LinkResult::Ok);
    return true;
}

bool FPCuser::ProcessQueue(int32_t& result)
{
    if (!viewStart_)
        return Fail(LinkResult::NotOpen, result);
    if (nextFree_ == viewStart_)
        return Fail(LinkResult::NothingQueued, result);

    ipc::Store32(nextFree_, 0);
    nextFree_ = viewStart_;

    // The destinations belong to this exchange only, whatever its outcome.
    struct ClearReads {
        std::vector<Destination>& reads;
        ~ClearReads() { reads.clear(); }
    } clearReads{reads_};

    IIpcTransport::SendResult sent;
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        sent = transport_.SendWithTimeout(serverWindow_, messageId_, uintptr_t(atom_), 0, kSendTimeoutMs);
        if (sent.ok)
            break;
        clock_.Sleep(kRetrySleepMs);
    }
    if (!sent.ok)
        return Fail(sent.lastError == 0 ? LinkResult::SendTimedOut : LinkResult::SendFailed, result);
    if (sent.reply != 1)
        return Fail(LinkResult::ServerRefused, result);
    if (!Unpack())
        return Fail(LinkResult::ServerRefused, result);

    result = int32_t(LinkResult::Ok);
    return true;
}

// Copies the replies to their destinations. The server hands the block
// back as it was queued; anything else (an unknown kind, a request running
// past the block, a read that is not the next one queued or has changed its
// size, a block that ends before every queued read) stops the walk and
// fails the exchange. Replies copied before that point stay copied.
bool FPCuser::Unpack()
{
    std::size_t pos = 0;
    std::size_t nextRead = 0;
    for (;;) {
        ipc::Request req;
        switch (ipc::ReadRequest(viewStart_, ipc::kBlockSize, pos, req)) {
        case ipc::Step::End:
            // A read left out got no reply: its destination holds an old value.
            return nextRead == reads_.size();
        case ipc::Step::Garbled:
            return false;
        case ipc::Step::Request:
            break;
        }
        if (req.kind == ipc::kKindRead) {
            if (nextRead >= reads_.size() || req.token != nextRead || req.size != reads_[nextRead].size)
                return false;
            const Destination& d = reads_[nextRead++];
            if (d.dest && req.size > 0)
                std::memcpy(d.dest, viewStart_ + req.data, req.size);
        }
        pos = req.next;
    }
}

void FPCuser::CloseLink()
{
    serverWindow_ = 0;
    messageId_ = 0;
    nextFree_ = nullptr;
    reads_.clear();
    if (atom_) {
        transport_.DeleteGlobalAtom(atom_);
        atom_ = 0;
    }
    if (viewStart_) {
        transport_.UnmapBlockView(viewStart_);
        viewStart_ = nullptr;
    }
    if (mapping_) {
        transport_.CloseMapping(mapping_);
        mapping_ = 0;
    }
}

} // namespace zrk
