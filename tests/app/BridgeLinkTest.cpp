#include <gtest/gtest.h>

#include "bridge/UpdateRecord.h"
#include "config/DefaultConfig.h"
#include "config/IniFile.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

std::string WithKit(int serial)
{
    IniFile ini = IniFile::Parse(DefaultConfigText());
    ini.Write("PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", std::to_string(serial));
    return ini.Text();
}

TEST(BridgeLink, ConnectsToTheConfiguredHostAfterASecondAndAnnouncesItself)
{
    Rig rig;
    rig.files.Put("../NET_BRIDGE/Config.ini", "[SERVER]\r\nSERVER_IP_ADDRESS=192.0.2.9\r\n");
    rig.Start();
    ASSERT_EQ(rig.socket.Attempts().size(), 1u);
    EXPECT_EQ(rig.socket.Attempts()[0].host, "192.0.2.9");
    EXPECT_EQ(rig.socket.Attempts()[0].port, 698);
    rig.host.RunPending();
    EXPECT_EQ(rig.Sent(), std::vector<std::string>{"ZRK_TQ_CONNECTED=1"});
    EXPECT_EQ(rig.socket.SentUnits()[0].size(), 357u);
}

TEST(BridgeLink, TheLibraryIsOpenedAtStartReadEveryTickAndEndedAtDestroy)
{
    Rig rig;
    rig.Start();
    EXPECT_EQ(rig.panelBus.operations, (std::vector<int>{3, 11}));
    rig.host.RunFor(300);   // enabled at 100 ms: ticks at 200 and 300
    rig.form->FormDestroy();
    EXPECT_EQ(rig.panelBus.operations, (std::vector<int>{3, 11, 1, 9, 1, 9, 4, 12}));
}

TEST(BridgeLink, DestroyTellsTheBridgeFirstAndClosesTheSocketLast)
{
    Rig rig;
    rig.Start();
    rig.host.RunFor(50);
    rig.socket.ClearSent();
    rig.form->FormDestroy();
    EXPECT_EQ(rig.Sent(), std::vector<std::string>{"ZRK_TQ_CONNECTED=0"});
    EXPECT_FALSE(rig.socket.Connected());
}

TEST(BridgeLink, TheInterfaceCardReportsItsPresenceWhileConnected)
{
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, 100);
    rig.Start(WithKit(100));
    rig.host.RunFor(10);
    rig.socket.ClearSent();
    rig.boards.Unplug(100);
    rig.host.RunFor(10);
    rig.boards.Plug(BoardKind::InterfaceKit, 100);
    rig.host.RunFor(10);
    EXPECT_EQ(rig.Sent(), (std::vector<std::string>{"ZRK_TQ_CONNECTED=0", "ZRK_TQ_CONNECTED=1"}));

    // Without a connection the messages are dropped.
    rig.socket.PeerClose();
    rig.socket.SetListening(false);
    rig.host.RunFor(10);
    rig.socket.ClearSent();
    rig.boards.Unplug(100);
    rig.host.RunFor(10);
    EXPECT_TRUE(rig.Sent().empty());
}

TEST(BridgeLink, TheWatchdogReconnectsAndRepeatsUntilTheBridgeTakesNote)
{
    Rig rig;
    rig.socket.SetListening(false);
    rig.Start();
    rig.host.RunFor(1);
    EXPECT_FALSE(rig.socket.Connected());
    rig.socket.SetListening(true);
    rig.host.RunFor(2000);
    EXPECT_TRUE(rig.socket.Connected());
    EXPECT_EQ(rig.Sent(), std::vector<std::string>{"ZRK_TQ_CONNECTED=1"});

    // Connected, but the bridge has not noted the controller: repeat.
    rig.socket.ClearSent();
    rig.host.RunFor(4000);
    EXPECT_EQ(rig.Sent(), (std::vector<std::string>{"ZRK_TQ_CONNECTED=1", "ZRK_TQ_CONNECTED=1"}));
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    rig.socket.ClearSent();
    rig.host.RunFor(4000);
    EXPECT_TRUE(rig.Sent().empty());
}

TEST(BridgeLink, TheQuitOrderEndsTheProgramOnlyWhenSpelledExactly)
{
    Rig rig;
    rig.process.processes = {"C:\\B\\NET_BRIDGE.EXE"};
    rig.Start();
    rig.host.RunFor(10);
    rig.form->ConfigChanged = true;

    rig.socket.DeliverMessage("kill_tq_controller=1");
    rig.host.RunFor(10);
    EXPECT_FALSE(rig.host.Terminated());

    rig.socket.DeliverMessage("KILL_TQ_CONTROLLER=anything");
    rig.host.RunFor(10);
    EXPECT_TRUE(rig.host.Terminated());
    EXPECT_EQ(rig.process.killed, std::vector<std::string>{"C:\\B\\NET_BRIDGE.EXE"});
    EXPECT_TRUE(rig.dialogs.questions.empty());
}

TEST(BridgeLink, ABurstEndingInTheQuitOrderEndsTheProgramAtOnce)
{
    // The bridge writes many records at once; nothing more comes after the
    // quit order. Read buffers as the Qt socket has them: unbounded, and the
    // bounded one of the program.
    for (std::size_t readBuffer : {std::size_t(0), 180 * kRecordSize}) {
        for (int records : {100, 2000}) {
            Rig rig;
            rig.process.processes = {"C:\\B\\NET_BRIDGE.EXE"};
            rig.socket.SetReadBufferSize(readBuffer);
            rig.Start();
            rig.host.RunFor(10);
            std::vector<uint8_t> bytes;
            for (int i = 1; i < records; ++i) {
                const RecordBytes r = EncodeMessage("SOME_VALUE=" + std::to_string(i));
                bytes.insert(bytes.end(), r.begin(), r.end());
            }
            const RecordBytes kill = EncodeMessage("KILL_TQ_CONTROLLER=1");
            bytes.insert(bytes.end(), kill.begin(), kill.end());
            rig.socket.Deliver(bytes.data(), bytes.size());
            rig.host.RunPending();   // no time passes
            EXPECT_TRUE(rig.host.Terminated()) << records << " records, buffer " << readBuffer;
            EXPECT_EQ(rig.process.killed, std::vector<std::string>{"C:\\B\\NET_BRIDGE.EXE"});
        }
    }
}

TEST(BridgeLink, ARecordInPiecesIsProcessedOnceAndAPartialOneIsDroppedOnReconnect)
{
    Rig rig;
    rig.Start();
    rig.host.RunFor(10);
    const RecordBytes kill = EncodeMessage("KILL_TQ_CONTROLLER=1");
    rig.socket.Deliver(kill.data(), 100);
    rig.socket.Deliver(kill.data() + 100, 200);
    rig.host.RunFor(10);
    EXPECT_FALSE(rig.host.Terminated());

    // The connection drops mid-record; the rest arrives on the next one and
    // must not complete the old bytes.
    rig.socket.PeerClose();
    rig.host.RunFor(2000);
    ASSERT_TRUE(rig.socket.Connected());
    rig.socket.Deliver(kill.data() + 300, 57);
    rig.host.RunFor(10);
    EXPECT_FALSE(rig.host.Terminated());
}

} // namespace
} // namespace zrk::test
