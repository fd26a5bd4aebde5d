#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/TestHost.h"
#include "bridge/BridgeChannel.h"
#include "bridge/VirtualBridgeSocket.h"

namespace zrk {
namespace {

using Messages = std::vector<std::string>;
using Answer = VirtualBridgeSocket::Answer;

struct ChannelRig {
    TestHost host;
    VirtualBridgeSocket socket{host, Answer::Accept};
    int quitOrders = 0;
    std::function<void()> onQuit = [this] { ++quitOrders; };
    std::vector<std::string> errors;
    BridgeChannel channel{socket, [this] { onQuit(); },
                          [this](const std::string& e) { errors.push_back(e); }, "10.0.0.5", 7000};

    // Connects and forgets the greeting.
    void Connect()
    {
        channel.Start();
        host.RunPending();
        ASSERT_TRUE(channel.Connected());
        socket.ClearSent();
    }
};

TEST(BridgeChannel, ConnectingGreetsTheBridge)
{
    ChannelRig r;
    r.channel.Start();
    EXPECT_EQ(r.socket.Attempts(), (std::vector<VirtualBridgeSocket::Attempt>{{"10.0.0.5", 7000}}));
    EXPECT_TRUE(r.socket.SentUnits().empty());   // the outcome is an event
    r.host.RunPending();
    EXPECT_EQ(r.socket.SentMessages(), Messages{"ZRK_TQ_CONNECTED=1"});
    EXPECT_EQ(r.socket.SentUnits().at(0).size(), 357u);
}

TEST(BridgeChannel, MessagesAreDroppedWhileDisconnectedAndNeverReplayed)
{
    ChannelRig r;
    r.socket.SetListening(false);
    r.channel.Start();
    r.host.RunPending();
    EXPECT_FALSE(r.channel.Send_Server_Message("PARKING_BRAKE=1"));
    EXPECT_TRUE(r.socket.SentUnits().empty());   // the failed attempt's greeting too

    r.socket.SetListening(true);
    r.channel.ReconnectTimer(0);
    r.host.RunPending();
    EXPECT_TRUE(r.channel.Send_Server_Message("PARKING_BRAKE=0"));
    EXPECT_EQ(r.socket.SentMessages(), (Messages{"ZRK_TQ_CONNECTED=1", "PARKING_BRAKE=0"}));
}

TEST(BridgeChannel, WatchdogReconnectsOrRepeatsTheGreeting)
{
    struct Case {
        bool connected;
        uint8_t seen;
        std::size_t newAttempts;
        Messages sent;
    };
    const Case cases[] = {
        {false, 0, 1, {}},
        {false, 1, 1, {}},
        {true, 0, 0, {"ZRK_TQ_CONNECTED=1"}},
        {true, 1, 0, {}},
    };
    for (const Case& c : cases) {
        ChannelRig r;
        if (c.connected)
            r.Connect();
        const std::size_t attempts = r.socket.Attempts().size();
        r.channel.ReconnectTimer(c.seen);
        r.channel.ReconnectTimer(c.seen);
        Messages twice = c.sent;
        twice.insert(twice.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(r.socket.Attempts().size() - attempts, 2 * c.newAttempts) << c.connected << int(c.seen);
        EXPECT_EQ(r.socket.SentMessages(), twice) << c.connected << int(c.seen);
    }
}

TEST(BridgeChannel, WatchdogAbandonsAnAttemptStillUnanswered)
{
    ChannelRig r;
    r.socket.SetAnswer(Answer::Hold);
    r.channel.Start();
    r.host.RunPending();
    r.channel.ReconnectTimer(0);
    EXPECT_EQ(r.socket.Closes(), 1);
    EXPECT_EQ(r.socket.Attempts().size(), 2u);
    r.socket.AcceptPending();
    r.host.RunPending();
    EXPECT_EQ(r.socket.SentMessages(), Messages{"ZRK_TQ_CONNECTED=1"});
}

TEST(BridgeChannel, ClosedSaysGoodbyeOnlyWhileStillConnected)
{
    ChannelRig r;
    r.Connect();
    r.channel.OnSessionClosed();   // a socket that still reports connected
    EXPECT_EQ(r.socket.SentMessages(), Messages{"ZRK_TQ_CONNECTED=0"});

    r.socket.ClearSent();
    r.socket.PeerClose();
    r.host.RunPending();   // OnClosed, with the socket already closed
    EXPECT_TRUE(r.socket.SentUnits().empty());
}

TEST(BridgeChannel, ActsOnTheQuitOrderOnly)
{
    for (auto [message, quits] : {std::pair{"KILL_TQ_CONTROLLER=1", 1}, {"KILL_TQ_CONTROLLER=", 1},
                                  {"kill_tq_controller=1", 0}, {"PARKING_BRAKE=1", 0}}) {
        ChannelRig r;
        r.Connect();
        r.socket.DeliverMessage(message);
        r.host.RunPending();
        EXPECT_EQ(r.quitOrders, quits) << message;
        EXPECT_TRUE(r.socket.SentUnits().empty()) << message;
    }
}

TEST(BridgeChannel, ReadsEverythingWaitingInOneEventAndActsOnceOnAQuitOrder)
{
    ChannelRig r;
    r.Connect();
    std::vector<uint8_t> bytes;
    for (const char* m : {"SOMETHING=1", "KILL_TQ_CONTROLLER=1", "KILL_TQ_CONTROLLER=1"}) {
        const RecordBytes rec = EncodeMessage(m);
        bytes.insert(bytes.end(), rec.begin(), rec.end());
    }
    r.socket.Deliver(bytes.data(), bytes.size());
    r.host.RunPending();
    EXPECT_EQ(r.quitOrders, 1);
    EXPECT_EQ(r.socket.ReadRequests(), (std::vector<std::size_t>{357, 357}));
}

TEST(BridgeChannel, APartialRecordDoesNotSurviveAReconnection)
{
    ChannelRig r;
    r.Connect();
    const RecordBytes other = EncodeMessage("OTHER=1"), kill = EncodeMessage("KILL_TQ_CONTROLLER=1");
    r.socket.Deliver(other.data(), 200);
    r.host.RunPending();
    r.socket.PeerClose();
    r.host.RunPending();
    r.channel.ReconnectTimer(0);
    r.host.RunPending();
    // Had the 200 bytes been kept, this record would be read out of step.
    r.socket.Deliver(kill.data(), kill.size());
    r.host.RunPending();
    EXPECT_EQ(r.quitOrders, 1);
}

TEST(BridgeChannel, ReportsFailuresOfTheDataHandlerButNotFailedReads)
{
    ChannelRig r;
    r.onQuit = [] { throw std::runtime_error("cannot end the bridge"); };
    r.Connect();
    r.socket.failReceive = true;
    r.socket.DeliverMessage("KILL_TQ_CONTROLLER=1");
    r.host.RunPending();
    EXPECT_TRUE(r.errors.empty());
    r.socket.failReceive = false;
    r.socket.DeliverMessage("KILL_TQ_CONTROLLER=1");
    r.host.RunPending();
    EXPECT_EQ(r.errors, std::vector<std::string>{"cannot end the bridge"});
}

} // namespace
} // namespace zrk
