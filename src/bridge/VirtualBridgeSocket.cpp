#include "bridge/VirtualBridgeSocket.h"

#include <algorithm>
#include <cstddef>

#include "bridge/UpdateRecord.h"

namespace zrk {

namespace {

// Keeps the newest `VirtualBridgeSocket::kKeptEntries` of a record before
// one more is added; trimmed by halves, so each entry costs the same on
// average.
template <class V>
void MakeRoom(V& record)
{
    constexpr std::size_t keep = VirtualBridgeSocket::kKeptEntries;
    if (record.size() >= 2 * keep)
        record.erase(record.begin(), record.end() - std::ptrdiff_t(keep));
}

} // namespace

VirtualBridgeSocket::VirtualBridgeSocket(IEventLoop& loop, Answer answer)
    : loop_(loop), answer_(answer)
{
}

void VirtualBridgeSocket::Connect(const std::string& host, uint16_t port)
{
    Drop();   // an earlier connection or attempt
    MakeRoom(attempts_);
    attempts_.push_back({host, port});
    state_ = State::Connecting;
    if (answer_ != Answer::Hold)
        Finish(answer_ == Answer::Accept);
}

void VirtualBridgeSocket::PostIfAlive(std::function<void()> fn)
{
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    loop_.Post([this, alive, gen, fn = std::move(fn)] {
        if (!alive.expired() && gen == generation_)
            fn();
    });
}

void VirtualBridgeSocket::Finish(bool accepted)
{
    PostIfAlive([this, accepted] {
        if (state_ != State::Connecting)
            return;
        state_ = accepted ? State::Connected : State::Closed;
        if (OnConnected)
            OnConnected(accepted ? 0 : kRefusedError);
    });
}

void VirtualBridgeSocket::AcceptPending()
{
    if (state_ == State::Connecting)
        Finish(true);
}

void VirtualBridgeSocket::RefusePending()
{
    if (state_ == State::Connecting)
        Finish(false);
}

void VirtualBridgeSocket::Close()
{
    ++closes_;
    Drop();
}

void VirtualBridgeSocket::Drop()
{
    ++generation_;
    state_ = State::Closed;
    wire_.clear();
    inbound_.clear();
    takePosted_ = false;
    repostPosted_ = false;
    takeStopped_ = false;
    unsent_ = 0;
    peerReading_ = true;
}

bool VirtualBridgeSocket::Send(const uint8_t* data, std::size_t size)
{
    if (!Connected())
        return false;
    if (!peerReading_) {
        if (sendCapacity_ != 0 && size > sendCapacity_ - std::min(unsent_, sendCapacity_))
            return false;
        unsent_ += size;
    }
    if (onSent)
        onSent(data, size);
    if (recordSent) {
        MakeRoom(sent_);
        sent_.emplace_back(data, data + size);
    }
    return true;
}

long VirtualBridgeSocket::Receive(uint8_t* buffer, std::size_t max)
{
    MakeRoom(readRequests_);
    readRequests_.push_back(max);
    if (failReceive || !Connected())
        return -1;
    const std::size_t n = std::min(max, inbound_.size());
    std::copy_n(inbound_.begin(), n, buffer);
    inbound_.erase(inbound_.begin(), inbound_.begin() + static_cast<std::ptrdiff_t>(n));
    if (inbound_.empty()) {
        // An empty buffer takes from the wire again.
        takeStopped_ = false;
        PostTake();
    }
    return static_cast<long>(n);
}

void VirtualBridgeSocket::PeerReads()
{
    peerReading_ = true;
    if (unsent_ == 0)
        return;
    unsent_ = 0;
    PostIfAlive([this] {
        if (OnWritable)
            OnWritable();
    });
}

void VirtualBridgeSocket::PostDataAvailable()
{
    if (repostPosted_)
        return;
    repostPosted_ = true;
    PostIfAlive([this] {
        repostPosted_ = false;
        if (inbound_.empty())
            return;
        ++reposted_;
        if (OnDataAvailable)
            OnDataAvailable();
    });
}

bool VirtualBridgeSocket::Deliver(const uint8_t* data, std::size_t size)
{
    if (!Connected())
        return false;
    wire_.insert(wire_.end(), data, data + size);
    PostTake();
    return true;
}

bool VirtualBridgeSocket::Deliver(std::string_view bytes)
{
    return Deliver(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool VirtualBridgeSocket::DeliverMessage(const std::string& message)
{
    const RecordBytes record = EncodeMessage(message);
    return Deliver(record.data(), record.size());
}

void VirtualBridgeSocket::PostTake()
{
    if (takePosted_ || takeStopped_ || wire_.empty())
        return;
    takePosted_ = true;
    PostIfAlive([this] {
        takePosted_ = false;
        Take();
    });
}

void VirtualBridgeSocket::Take()
{
    std::size_t n = wire_.size();
    if (readBufferSize_ != 0)
        n = std::min(n, readBufferSize_ - std::min(readBufferSize_, inbound_.size()));
    if (n == 0)
        return;
    inbound_.insert(inbound_.end(), wire_.begin(), wire_.begin() + static_cast<std::ptrdiff_t>(n));
    wire_.erase(wire_.begin(), wire_.begin() + static_cast<std::ptrdiff_t>(n));
    const uint64_t gen = generation_;
    if (OnDataAvailable)
        OnDataAvailable();
    if (gen != generation_)
        return;   // closed by the handler
    // A buffer the handler left full takes nothing more until a read
    // empties it; otherwise bytes still on the wire raise the next event.
    takeStopped_ = readBufferSize_ != 0 && inbound_.size() >= readBufferSize_;
    PostTake();
}

void VirtualBridgeSocket::PeerClose()
{
    if (state_ == State::Closed)
        return;
    Drop();
    PostIfAlive([this] {
        if (OnClosed)
            OnClosed();
    });
}

std::vector<std::string> VirtualBridgeSocket::SentMessages() const
{
    std::vector<std::string> out;
    for (const auto& unit : sent_) {
        if (unit.size() == kRecordSize)
            out.push_back(RecordText(unit.data()));
        else
            out.push_back("<" + std::to_string(unit.size()) + " bytes>");
    }
    return out;
}

} // namespace zrk
