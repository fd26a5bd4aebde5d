#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/TestHost.h"
#include "bridge/BridgeChannel.h"
#include "bridge/UpdateRecord.h"
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

// `n` records back to back: n - 1 others, then the quit order.
std::vector<uint8_t> BurstEndingInQuit(std::size_t n)
{
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const RecordBytes rec = EncodeMessage("ENGINE_N1=" + std::to_string(i));
        bytes.insert(bytes.end(), rec.begin(), rec.end());
    }
    const RecordBytes kill = EncodeMessage("KILL_TQ_CONTROLLER=1");
    bytes.insert(bytes.end(), kill.begin(), kill.end());
    return bytes;
}

TEST(BridgeChannel, EveryRecordOfABurstIsTakenWithoutWaitingForMoreData)
{
    // The socket announces bytes once, when they arrive; a bounded read
    // buffer takes more only when a read has emptied it. A buffer of whole
    // records stays aligned to them; one of 1000 bytes ends inside records,
    // so reads there ask for what is missing. (A refill that left exactly
    // 19 bytes for one read would lose them by the stream rules; these
    // sizes never do.)
    struct Case {
        std::size_t records;
        std::size_t readBuffer;   // 0: unbounded
    };
    const Case cases[] = {
        {64, 0},    {65, 0},     {100, 0},
        {1000, 0},  {100, 357},  {100, 1000},
        {1000, 3 * kRecordSize}, {1000, 180 * kRecordSize},   // the Qt socket's
    };
    for (const Case& c : cases) {
        ChannelRig r;
        r.Connect();
        r.socket.SetReadBufferSize(c.readBuffer);
        // Every data event, announced or posted by the channel, reads a
        // bounded number of times, so a burst never holds up the timers.
        std::size_t mostReads = 0;
        auto announce = r.socket.OnDataAvailable;
        r.socket.OnDataAvailable = [&] {
            const std::size_t before = r.socket.ReadRequests().size();
            announce();
            mostReads = std::max(mostReads, r.socket.ReadRequests().size() - before);
        };
        const std::vector<uint8_t> burst = BurstEndingInQuit(c.records);
        r.socket.Deliver(burst.data(), burst.size());
        r.host.RunPending();
        EXPECT_EQ(r.quitOrders, 1) << c.records << " records, buffer " << c.readBuffer;
        EXPECT_EQ(r.socket.Waiting(), 0u) << c.records << " records, buffer " << c.readBuffer;
        EXPECT_LE(mostReads, std::size_t(BridgeChannel::kMaxReadsPerEvent));
        // Each read asked for what was missing of one record only.
        for (std::size_t asked : r.socket.ReadRequests())
            EXPECT_LE(asked, kRecordSize);
    }
}

TEST(BridgeChannel, RecordsOfRepeatedBurstsAreTakenInOrderAsTheyArrive)
{
    // Bursts of 100 records (one of them the quit order's name in lower
    // case, which must be read as a record of its own), each let through
    // the event loop; the quit order in the fifth is acted on at once.
    ChannelRig r;
    r.Connect();
    for (int burst = 0; burst < 5; ++burst) {
        std::vector<uint8_t> bytes = BurstEndingInQuit(100);
        if (burst < 4) {
            const RecordBytes lower = EncodeMessage("kill_tq_controller=1");
            std::copy(lower.begin(), lower.end(), bytes.end() - long(kRecordSize));
        }
        r.socket.Deliver(bytes.data(), bytes.size());
        r.host.RunPending();
        EXPECT_EQ(r.socket.Waiting(), 0u) << burst;
        EXPECT_EQ(r.channel.Receiver().Held(), 0u) << burst;
        EXPECT_EQ(r.quitOrders, burst == 4 ? 1 : 0) << burst;
    }
    EXPECT_EQ(r.channel.Receiver().LastRecord(), EncodeMessage("KILL_TQ_CONTROLLER=1"));
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

// A bridge that stops reading: the socket's bounded queue fills, then each
// name keeps only its latest message, and once the bridge reads again the
// latest state of every name arrives, whole records only.
TEST(BridgeChannel, AStalledBridgeGetsTheLatestValueOfEveryNameOnceItReads)
{
    ChannelRig r;
    r.Connect();
    r.socket.SetSendCapacity(3 * kRecordSize);
    r.socket.PeerStopsReading();

    for (int i = 0; i < 20000; ++i) {
        EXPECT_TRUE(r.channel.Send_Server_Message("FUEL_CONTROL_1=" + std::to_string(i % 2)));
        EXPECT_TRUE(r.channel.Send_Server_Message("FLAPS=" + std::to_string(i % 7)));
        if (i == 100) {
            EXPECT_TRUE(r.channel.Send_Server_Message("PARKING_BRAKE=1"));
        }
    }
    // Three records fit; behind them one message per name waits.
    EXPECT_EQ(r.socket.SentMessages(), (Messages{"FUEL_CONTROL_1=0", "FLAPS=0", "FUEL_CONTROL_1=1"}));
    EXPECT_EQ(r.channel.HeldMessages(), (Messages{"FLAPS=0", "FUEL_CONTROL_1=1", "PARKING_BRAKE=1"}));
    EXPECT_LE(r.socket.Unsent(), 3 * kRecordSize);

    r.socket.ClearSent();
    r.socket.PeerReads();
    r.host.RunPending();
    EXPECT_EQ(r.socket.SentMessages(), (Messages{"FLAPS=0", "FUEL_CONTROL_1=1", "PARKING_BRAKE=1"}));
    EXPECT_TRUE(r.channel.HeldMessages().empty());
    for (const auto& unit : r.socket.SentUnits())
        EXPECT_EQ(unit.size(), kRecordSize);

    // Nothing waits any more: the next message goes at once.
    r.socket.ClearSent();
    EXPECT_TRUE(r.channel.Send_Server_Message("FLAPS=6"));
    EXPECT_EQ(r.socket.SentMessages(), Messages{"FLAPS=6"});
}

TEST(BridgeChannel, WaitingMessagesGoOutOnlyAsFarAsTheSocketTakesThem)
{
    ChannelRig r;
    r.Connect();
    r.socket.SetSendCapacity(kRecordSize);
    r.socket.PeerStopsReading();
    for (const char* m : {"A=1", "B=1", "C=1", "D=1"})
        r.channel.Send_Server_Message(m);
    EXPECT_EQ(r.channel.HeldMessages(), (Messages{"B=1", "C=1", "D=1"}));

    // The bridge reads one record and stalls again: one more goes.
    r.socket.PeerReads();
    r.socket.PeerStopsReading();
    r.host.RunPending();
    EXPECT_EQ(r.socket.SentMessages(), (Messages{"A=1", "B=1"}));
    EXPECT_EQ(r.channel.HeldMessages(), (Messages{"C=1", "D=1"}));
    // A new value of a waiting name takes its place, not a place at the end.
    r.channel.Send_Server_Message("C=2");
    EXPECT_EQ(r.channel.HeldMessages(), (Messages{"C=2", "D=1"}));
}

TEST(BridgeChannel, WaitingMessagesAreBoundedAndDroppedWithTheirConnection)
{
    ChannelRig r;
    r.Connect();
    r.socket.SetSendCapacity(kRecordSize);
    r.socket.PeerStopsReading();
    r.channel.Send_Server_Message("FIRST=1");
    const std::size_t names = BridgeChannel::kMaxHeldNames + 10;
    for (std::size_t i = 0; i < names; ++i)
        r.channel.Send_Server_Message("NAME_" + std::to_string(i) + "=1");
    const Messages held = r.channel.HeldMessages();
    ASSERT_EQ(held.size(), BridgeChannel::kMaxHeldNames);
    EXPECT_EQ(r.channel.DroppedHeldMessages(), 10u);
    EXPECT_EQ(held.front(), "NAME_10=1");   // the longest-waiting went first
    EXPECT_EQ(held.back(), "NAME_" + std::to_string(names - 1) + "=1");

    // The bridge goes away: what waited is not replayed to the next one.
    r.socket.PeerClose();
    r.host.RunPending();
    EXPECT_TRUE(r.channel.HeldMessages().empty());
    r.channel.ReconnectTimer(0);
    r.host.RunPending();
    ASSERT_TRUE(r.channel.Connected());
    EXPECT_EQ(r.socket.SentMessages().back(), "ZRK_TQ_CONNECTED=1");
    EXPECT_EQ(r.socket.SentMessages().size(), 2u);   // FIRST=1, then the greeting
}

} // namespace
} // namespace zrk
