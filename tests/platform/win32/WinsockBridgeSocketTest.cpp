#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/UpdateRecord.h"
#include "platform/win32/WinsockBridgeSocket.h"
#include "ui/win32/Win32BuiltInBridge.h"

namespace zrk::test {
namespace {

constexpr UINT kDrainedMessage = WM_APP + 77;

// Runs the thread's messages until `done` holds, or gives up after ten
// seconds (a broken socket must fail the test, not hang it).
bool PumpUntil(const std::function<bool()>& done)
{
    const ULONGLONG deadline = GetTickCount64() + 10000;
    for (;;) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        if (done())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Handles every message posted to this thread so far.
void Drain()
{
    PostThreadMessageW(GetCurrentThreadId(), kDrainedMessage, 0, 0);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.hwnd == nullptr && m.message == kDrainedMessage)
            return;
        DispatchMessageW(&m);
    }
}

RecordBytes Record(int i)
{
    return EncodeMessage("N" + std::to_string(i) + "=" + std::string(std::size_t(i % 200), 'v'));
}

std::vector<uint8_t> Records(int count, int first = 0)
{
    std::vector<uint8_t> bytes;
    for (int i = first; i < first + count; ++i) {
        const RecordBytes r = Record(i);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    return bytes;
}

void NonBlocking(SOCKET s)
{
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}

// A connected socket of the test's server side, non-blocking.
struct Peer {
    SOCKET s = INVALID_SOCKET;
    std::vector<uint8_t> out;   // still to send
    std::size_t sent = 0;
    std::vector<uint8_t> in;
    int lastError = 0;   // of the read that ended the stream; 0 for an orderly end
    bool ended = false;

    ~Peer()
    {
        if (s != INVALID_SOCKET)
            closesocket(s);
    }
    // Sends what the system takes now.
    void Pump()
    {
        while (sent < out.size()) {
            const int n = send(s, reinterpret_cast<const char*>(out.data() + sent), int(out.size() - sent), 0);
            if (n <= 0)
                break;
            sent += std::size_t(n);
        }
    }
    bool AllSent()
    {
        Pump();
        return sent == out.size();
    }
    // Reads what is waiting; true once the stream has ended.
    bool Read()
    {
        char buffer[16384];
        for (;;) {
            const int n = recv(s, buffer, sizeof buffer, 0);
            if (n > 0) {
                in.insert(in.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK)
                return false;
            lastError = n < 0 ? WSAGetLastError() : 0;
            ended = true;
            return true;
        }
    }
    void Close()
    {
        shutdown(s, SD_SEND);
        closesocket(s);
        s = INVALID_SOCKET;
    }
};

// A server on 127.0.0.1, on a port the system chooses.
class Listener {
public:
    explicit Listener(int receiveBuffer = 0)
    {
        s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (receiveBuffer > 0)
            setsockopt(s_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof a;
        bind(s_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(s_, 16);
        NonBlocking(s_);
        getsockname(s_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
    }
    ~Listener() { closesocket(s_); }
    uint16_t Port() const { return port_; }
    // Takes a waiting connection into `peer`; false when none waits.
    bool Accept(Peer& peer)
    {
        const SOCKET c = accept(s_, nullptr, nullptr);
        if (c == INVALID_SOCKET)
            return false;
        NonBlocking(c);
        peer.s = c;
        return true;
    }

private:
    SOCKET s_;
    uint16_t port_ = 0;
};

// Reads as the bridge channel does: a record's missing bytes at a time,
// until nothing waits, and after 64 reads hands the rest to a later event.
struct Reader {
    explicit Reader(IBridgeSocket& s) : socket(s) {}
    IBridgeSocket& socket;
    std::vector<uint8_t> received;
    int events = 0;
    int reposts = 0;
    bool failed = false;
    bool lazy = false;   // takes nothing

    void OnData()
    {
        ++events;
        if (lazy)
            return;
        for (int reads = 0;;) {
            uint8_t buffer[kRecordSize];
            const long n = socket.Receive(buffer, kRecordSize - received.size() % kRecordSize);
            if (n < 0)
                failed = true;
            if (n <= 0)
                return;
            received.insert(received.end(), buffer, buffer + n);
            if (++reads == 64) {
                ++reposts;
                socket.PostDataAvailable();
                return;
            }
        }
    }
};

class WinsockBridgeSocketTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa_), 0); }
    void TearDown() override { WSACleanup(); }

    // Binds the socket's events to the counters and the reader.
    void Watch(WinsockBridgeSocket& s)
    {
        s.OnConnected = [this](int error) { connects.push_back(error); };
        s.OnClosed = [this] { ++closes; };
        s.OnDataAvailable = [this] { reader.OnData(); };
    }
    // Connects `socket_` to `listener`, accepted as `peer`.
    void ConnectTo(Listener& listener, Peer& peer)
    {
        Watch(*socket_);
        socket_->Connect("127.0.0.1", listener.Port());
        ASSERT_TRUE(PumpUntil([&] { return !connects.empty() && (peer.s != INVALID_SOCKET || listener.Accept(peer)); }));
        ASSERT_EQ(connects, std::vector<int>{0});
        ASSERT_TRUE(socket_->Connected());
    }

    WSADATA wsa_;
    std::unique_ptr<WinsockBridgeSocket> socket_ = std::make_unique<WinsockBridgeSocket>();
    Reader reader{*socket_};
    std::vector<int> connects;
    int closes = 0;
};

TEST_F(WinsockBridgeSocketTest, ConnectsToANumberOrAName)
{
    ASSERT_TRUE(socket_->Ready());
    for (const char* host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        Listener listener;
        Peer peer;
        connects.clear();
        Watch(*socket_);
        socket_->Connect(host, listener.Port());
        ASSERT_TRUE(PumpUntil([&] { return !connects.empty() && (peer.s != INVALID_SOCKET || listener.Accept(peer)); }));
        EXPECT_EQ(connects, std::vector<int>{0});
        EXPECT_TRUE(socket_->Connected());
    }
    EXPECT_EQ(closes, 0);   // the second Connect dropped the first connection silently
}

TEST_F(WinsockBridgeSocketTest, ARefusedAttemptReportsItsErrorOnly)
{
    uint16_t port;
    {
        Listener gone;
        port = gone.Port();
    }
    Watch(*socket_);
    socket_->Connect("127.0.0.1", port);
    ASSERT_TRUE(PumpUntil([&] { return !connects.empty(); }));
    Drain();
    EXPECT_EQ(connects, std::vector<int>{WSAECONNREFUSED});
    EXPECT_EQ(closes, 0);
    EXPECT_FALSE(socket_->Connected());
    const uint8_t byte = 1;
    EXPECT_FALSE(socket_->Send(&byte, 1));
    uint8_t buffer[4];
    EXPECT_EQ(socket_->Receive(buffer, sizeof buffer), -1);
}

TEST_F(WinsockBridgeSocketTest, ABurstArrivesWholeAndInOrderAndTheEventsStop)
{
    Listener listener;
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, peer));
    constexpr int kCount = 2000;
    peer.out = Records(kCount);
    ASSERT_TRUE(PumpUntil([&] {
        peer.Pump();
        return reader.failed || reader.received.size() == peer.out.size();
    }));
    EXPECT_FALSE(reader.failed);
    EXPECT_TRUE(reader.received == peer.out);
    // Bursts beyond the receive buffer went through the reader's own
    // follow-up events.
    EXPECT_GT(reader.reposts, 0);
    // Everything read, nothing keeps announcing itself.
    Drain();
    const int events = reader.events;
    Drain();
    Drain();
    EXPECT_EQ(reader.events, events);
}

TEST_F(WinsockBridgeSocketTest, BytesSentBeforeThePeerClosedAreReadBeforeTheClosedEvent)
{
    Listener listener;
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, peer));
    peer.out = Records(3);
    ASSERT_TRUE(peer.AllSent());
    peer.Close();
    std::size_t readAtClose = 0;
    bool connectedAtClose = true;
    socket_->OnClosed = [&] {
        ++closes;
        readAtClose = reader.received.size();
        connectedAtClose = socket_->Connected();
    };
    ASSERT_TRUE(PumpUntil([&] { return closes > 0; }));
    Drain();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(readAtClose, 3 * kRecordSize);
    EXPECT_FALSE(connectedAtClose);
}

TEST_F(WinsockBridgeSocketTest, CloseEndsTheConnectionAndRaisesNothing)
{
    Listener listener;
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, peer));
    socket_->Close();
    EXPECT_FALSE(socket_->Connected());
    ASSERT_TRUE(PumpUntil([&] { return peer.Read(); }));
    // Windows resets the connection (linger 0); wine closes it in order
    // whatever the linger setting.
    EXPECT_TRUE(peer.lastError == WSAECONNRESET || peer.lastError == 0) << peer.lastError;
    Drain();
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(connects.size(), 1u);
}

TEST_F(WinsockBridgeSocketTest, SentUnitsArriveWholeAndInOrderAndTheQueueIsBounded)
{
    // The peer takes little at a time, so the system's buffers fill up.
    Listener listener(8 * 1024);
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, peer));
    int accepted = 0;
    for (; accepted < 100000; ++accepted) {
        const RecordBytes r = Record(accepted);
        if (!socket_->Send(r.data(), r.size()))
            break;
    }
    ASSERT_LT(accepted, 100000) << "the queue never filled";
    EXPECT_TRUE(socket_->Connected());
    EXPECT_LE(socket_->Queued(), WinsockBridgeSocket::kMaxQueuedBytes);
    EXPECT_GT(socket_->Queued() + kRecordSize, WinsockBridgeSocket::kMaxQueuedBytes);
    // Once the queue has gone out, the sender that was refused hears of it.
    int writable = 0;
    socket_->OnWritable = [&] { ++writable; };
    const std::size_t expected = std::size_t(accepted) * kRecordSize;
    ASSERT_TRUE(PumpUntil([&] { return peer.Read() || peer.in.size() >= expected; }));
    EXPECT_FALSE(peer.ended);
    EXPECT_EQ(socket_->Queued(), 0u);
    EXPECT_TRUE(peer.in == Records(accepted));
    ASSERT_TRUE(PumpUntil([&] { return writable > 0; }));
    const RecordBytes more = Record(accepted);
    EXPECT_TRUE(socket_->Send(more.data(), more.size()));
}

TEST_F(WinsockBridgeSocketTest, PostDataAvailableRaisesOneEventOnlyWhileBytesWait)
{
    Listener listener;
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, peer));
    reader.lazy = true;
    peer.out = Records(5);
    ASSERT_TRUE(peer.AllSent());
    ASSERT_TRUE(PumpUntil([&] { return reader.events > 0; }));
    Drain();
    int events = reader.events;
    socket_->PostDataAvailable();
    socket_->PostDataAvailable();
    socket_->PostDataAvailable();
    Drain();
    EXPECT_EQ(reader.events, events + 1);

    // Read up: a request finds nothing waiting and raises nothing.
    reader.lazy = false;
    reader.OnData();
    EXPECT_EQ(reader.received, peer.out);
    events = reader.events;
    socket_->PostDataAvailable();
    Drain();
    EXPECT_EQ(reader.events, events);

    // Closed before the request runs.
    peer.out = Records(1);
    peer.sent = 0;
    ASSERT_TRUE(peer.AllSent());
    reader.lazy = true;
    ASSERT_TRUE(PumpUntil([&] { return reader.events > events; }));
    events = reader.events;
    socket_->PostDataAvailable();
    socket_->Close();
    Drain();
    EXPECT_EQ(reader.events, events);
}

TEST_F(WinsockBridgeSocketTest, ConnectFromTheClosedEventStartsAFreshConnection)
{
    Listener listener;
    Peer first;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, first));
    socket_->OnClosed = [&] {
        ++closes;
        socket_->Connect("127.0.0.1", listener.Port());
    };
    first.out = Records(2);
    ASSERT_TRUE(first.AllSent());
    first.Close();
    Peer second;
    ASSERT_TRUE(PumpUntil([&] { return connects.size() == 2 && (second.s != INVALID_SOCKET || listener.Accept(second)); }));
    Drain();
    EXPECT_EQ(connects, (std::vector<int>{0, 0}));
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(socket_->Connected());
    EXPECT_EQ(reader.received, Records(2));
    // The new connection carries data.
    second.out = Records(1, 7);
    ASSERT_TRUE(second.AllSent());
    ASSERT_TRUE(PumpUntil([&] { return reader.received.size() == 3 * kRecordSize; }));
}

TEST_F(WinsockBridgeSocketTest, ReconnectingFromTheDataEventLeavesTheOldConnectionsEventsBehind)
{
    Listener listener;
    Peer first;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, first));
    socket_->OnDataAvailable = [&] {
        reader.OnData();
        if (connects.size() == 1)
            socket_->Connect("127.0.0.1", listener.Port());
    };
    first.out = Records(400);   // more than one event's worth, then the peer closes
    ASSERT_TRUE(first.AllSent() || PumpUntil([&] { return first.AllSent(); }));
    first.Close();
    Peer second;
    ASSERT_TRUE(PumpUntil([&] { return connects.size() == 2 && (second.s != INVALID_SOCKET || listener.Accept(second)); }));
    Drain();
    EXPECT_EQ(connects, (std::vector<int>{0, 0}));
    EXPECT_EQ(closes, 0);   // the first connection's close belongs to it
    EXPECT_TRUE(socket_->Connected());
    EXPECT_LT(reader.received.size(), first.out.size());
}

TEST_F(WinsockBridgeSocketTest, DestructionInsideACallbackOrWithEventsPendingRaisesNothingMore)
{
    Listener listener;
    int calls = 0;
    const auto watchCalls = [&](WinsockBridgeSocket& s) {
        s.OnConnected = [&](int) { ++calls; };
        s.OnClosed = [&] { ++calls; };
        s.OnDataAvailable = [&] { ++calls; };
    };
    {
        // Destroyed while connecting, data, a close and a request pending.
        Peer peer;
        ASSERT_NO_FATAL_FAILURE(ConnectTo(listener, peer));
        watchCalls(*socket_);
        peer.out = Records(50);
        ASSERT_TRUE(peer.AllSent());
        peer.Close();
        socket_->PostDataAvailable();
        socket_.reset();
        auto connecting = std::make_unique<WinsockBridgeSocket>();
        watchCalls(*connecting);
        connecting->Connect("127.0.0.1", listener.Port());
        connecting.reset();
        Drain();
        Drain();
        EXPECT_EQ(calls, 0);
    }
    {
        // Destroyed by its own data event, with the peer's close behind.
        // (A listener of its own: the first one may hold the destroyed
        // attempt's connection.)
        Listener own;
        auto s = std::make_unique<WinsockBridgeSocket>();
        s->OnConnected = [&](int) { ++calls; };
        s->OnClosed = [&] { ADD_FAILURE() << "closed event after destruction"; };
        s->OnDataAvailable = [&] { s.reset(); };
        s->Connect("127.0.0.1", own.Port());
        Peer peer;
        ASSERT_TRUE(PumpUntil([&] { return calls == 1 && (peer.s != INVALID_SOCKET || own.Accept(peer)); }));
        peer.out = Records(50);
        ASSERT_TRUE(peer.AllSent());
        peer.Close();
        ASSERT_TRUE(PumpUntil([&] { return s == nullptr; }));
        Drain();
        Drain();
    }
}

// ---- the built-in bridge of the demo cockpit ----

class Win32BuiltInBridgeTest : public WinsockBridgeSocketTest {
protected:
    std::vector<std::string> messages;
    Win32BuiltInBridge bridge{[this](const std::string& m) { messages.push_back(m); }};
};

TEST_F(Win32BuiltInBridgeTest, ListensOnThePreferredPortWhenFreeElseOnAnother)
{
    uint16_t freePort;
    {
        Listener gone;
        freePort = gone.Port();
    }
    EXPECT_EQ(bridge.Listen(freePort), freePort);
    EXPECT_EQ(bridge.Listen(1), freePort);   // listening already

    Win32BuiltInBridge second(nullptr);
    const uint16_t other = second.Listen(freePort);
    EXPECT_NE(other, 0);
    EXPECT_NE(other, freePort);
}

TEST_F(Win32BuiltInBridgeTest, HandsOnEveryRecordOfEveryConnectionWhateverItsPieces)
{
    const uint16_t port = bridge.Listen(0);
    ASSERT_NE(port, 0);

    // The controller's own socket.
    Watch(*socket_);
    socket_->Connect("127.0.0.1", port);
    ASSERT_TRUE(PumpUntil([&] { return !connects.empty(); }));
    ASSERT_EQ(connects, std::vector<int>{0});
    const RecordBytes hello = EncodeMessage("ZRK_TQ_CONNECTED=1");
    ASSERT_TRUE(socket_->Send(hello.data(), hello.size()));
    ASSERT_TRUE(PumpUntil([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages[0], "ZRK_TQ_CONNECTED=1");

    // A second client, sending two records in pieces that split them.
    Peer raw;
    raw.s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ASSERT_EQ(connect(raw.s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const std::vector<uint8_t> two = Records(2, 3);
    std::size_t at = 0;
    for (std::size_t piece : {std::size_t(1), std::size_t(100), std::size_t(356), std::size_t(257)}) {
        ASSERT_EQ(send(raw.s, reinterpret_cast<const char*>(two.data() + at), int(piece), 0), int(piece));
        at += piece;
        Drain();
    }
    ASSERT_EQ(at, two.size());
    ASSERT_TRUE(PumpUntil([&] { return messages.size() == 3; }));
    EXPECT_EQ(messages[1], RecordText(two.data()));
    EXPECT_EQ(messages[2], RecordText(two.data() + kRecordSize));
    EXPECT_EQ(bridge.Connections(), 2u);

    // A close ends the connection; the other goes on.
    raw.Close();
    ASSERT_TRUE(PumpUntil([&] { return bridge.Connections() == 1; }));
    const RecordBytes bye = EncodeMessage("ZRK_TQ_CONNECTED=0");
    ASSERT_TRUE(socket_->Send(bye.data(), bye.size()));
    ASSERT_TRUE(PumpUntil([&] { return messages.size() == 4; }));
    EXPECT_EQ(messages[3], "ZRK_TQ_CONNECTED=0");
}

TEST_F(Win32BuiltInBridgeTest, ServesABoundedNumberOfConnections)
{
    const uint16_t port = bridge.Listen(0);
    ASSERT_NE(port, 0);
    std::vector<std::unique_ptr<WinsockBridgeSocket>> clients;
    int connected = 0;
    int closed = 0;
    for (std::size_t i = 0; i < Win32BuiltInBridge::kMaxConnections + 2; ++i) {
        clients.push_back(std::make_unique<WinsockBridgeSocket>());
        clients.back()->OnConnected = [&](int error) { connected += error == 0; };
        clients.back()->OnClosed = [&] { ++closed; };
        clients.back()->Connect("127.0.0.1", port);
    }
    ASSERT_TRUE(PumpUntil([&] { return closed == 2 && bridge.Connections() == Win32BuiltInBridge::kMaxConnections; }));
    clients.clear();
    ASSERT_TRUE(PumpUntil([&] { return bridge.Connections() == 0; }));
}

} // namespace
} // namespace zrk::test
