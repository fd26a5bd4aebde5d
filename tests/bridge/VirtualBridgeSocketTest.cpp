#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/TestHost.h"
#include "bridge/VirtualBridgeSocket.h"

namespace zrk {
namespace {

// The channel's tests rely on the virtual socket announcing received bytes
// as the Qt socket does; these pin that behaviour down.
struct SocketRig {
    TestHost host;
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    std::vector<std::size_t> announced;   // bytes buffered at each event
    std::size_t readInHandler = 0;        // bytes the handler reads per event

    SocketRig()
    {
        socket.OnDataAvailable = [this] {
            announced.push_back(socket.Buffered());
            Read(readInHandler);
        };
        socket.Connect("h", 1);
        host.RunPending();
    }
    long Read(std::size_t n)
    {
        std::vector<uint8_t> b(n);
        return socket.Receive(b.data(), n);
    }
    void Send(std::size_t n)
    {
        const std::vector<uint8_t> bytes(n, 7);
        socket.Deliver(bytes.data(), n);
    }
};

TEST(VirtualBridgeSocket, AnnouncesArrivalsOnlyAndRepostsOnRequest)
{
    SocketRig r;
    r.Send(300);
    r.Send(700);   // before the socket takes them: one arrival
    r.host.RunPending();
    r.Read(100);
    r.host.RunPending();
    EXPECT_EQ(r.announced, std::vector<std::size_t>{1000});   // unread bytes stay silent

    r.socket.PostDataAvailable();
    r.socket.PostDataAvailable();
    r.host.RunPending();
    EXPECT_EQ(r.announced, (std::vector<std::size_t>{1000, 900}));
    r.Read(900);
    r.socket.PostDataAvailable();   // nothing left by the time it runs
    r.host.RunPending();
    EXPECT_EQ(r.socket.RepostedEvents(), 1);
}

TEST(VirtualBridgeSocket, AFullReadBufferTakesMoreOnlyOnceEmptied)
{
    SocketRig r;
    r.socket.SetReadBufferSize(500);
    r.Send(1200);
    r.host.RunPending();
    EXPECT_EQ(r.announced, std::vector<std::size_t>{500});
    r.Read(400);   // not empty: still full as far as taking goes
    r.host.RunPending();
    EXPECT_EQ(r.announced.size(), 1u);
    r.Read(100);
    r.host.RunPending();
    EXPECT_EQ(r.announced, (std::vector<std::size_t>{500, 500}));

    // A handler that leaves room lets the rest come in the next event.
    r.Read(500);
    r.readInHandler = 300;
    r.host.RunPending();
    EXPECT_EQ(r.announced, (std::vector<std::size_t>{500, 500, 200}));
    EXPECT_EQ(r.socket.Waiting(), 0u);
}

} // namespace
} // namespace zrk
