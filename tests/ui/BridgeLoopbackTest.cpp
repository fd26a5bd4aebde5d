// The controller on the Qt host (Qt's event loop, the QTcpSocket adapter, the
// system clock) against a stand-in for the bridge listening on loopback.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "app/VirtualDialogs.h"
#include "app/VirtualProcessEnv.h"
#include "boards/VirtualBoards.h"
#include "bridge/PanelBuses.h"
#include "bridge/UpdateRecord.h"
#include "config/MemoryFileSystem.h"
#include "platform/Platform.h"
#include "sim/FsuipcEmulator.h"
#include "ui/QtBridgeSocket.h"
#include "ui/QtHost.h"

#include <sys/socket.h>
#include <unistd.h>

namespace zrk::test {
namespace {

enum class Outcome { Met, TimedOut, Ended };

// Runs the application's event loop until `done` holds, `timeoutMs` pass or
// the controller ends the application (QCoreApplication::exit(0)). Each
// wait is a full QCoreApplication::exec, which clears the quit state an
// earlier exit left behind, so one test's ending does not end the next wait.
Outcome RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    constexpr int kMet = 101;
    constexpr int kTimedOut = 102;
    if (done())
        return Outcome::Met;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            QCoreApplication::exit(kMet);
    });
    poll.start(5);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(kTimedOut); });
    deadline.start(timeoutMs);
    const int rc = QCoreApplication::exec();
    return rc == kMet ? Outcome::Met : rc == kTimedOut ? Outcome::TimedOut : Outcome::Ended;
}

void PrintTo(Outcome o, std::ostream* os)
{
    *os << (o == Outcome::Met ? "condition met" : o == Outcome::TimedOut ? "timed out" : "controller ended");
}

// The bridge's side of the link: accepts connections and keeps what arrives
// on each, in order.
class FakeBridge {
public:
    FakeBridge()
    {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* peer = server_.nextPendingConnection()) {
                const std::size_t index = streams_.size();
                streams_.emplace_back();
                peers_.push_back(peer);
                if (!reading_) {
                    // Takes one record's worth, then nothing more from the
                    // system until reading resumes.
                    peer->setReadBufferSize(qint64(kRecordSize));
                }
                QObject::connect(peer, &QTcpSocket::readyRead, [this, peer, index] {
                    if (reading_)
                        streams_[index] += peer->readAll();
                });
            }
        });
    }

    bool Listen(quint16 port = 0) { return server_.listen(QHostAddress::LocalHost, port); }

    // A bridge that accepts connections and never reads them, with a small
    // receive buffer so that the controller's side fills soon.
    bool ListenWithoutReading()
    {
        reading_ = false;
        if (!Listen())
            return false;
        const int small = 4096;   // accepted connections inherit it
        return ::setsockopt(int(server_.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small) == 0;
    }

    // Starts reading everything, on every connection.
    void ResumeReading()
    {
        reading_ = true;
        for (std::size_t i = 0; i < peers_.size(); ++i) {
            peers_[i]->setReadBufferSize(0);
            streams_[i] += peers_[i]->readAll();
        }
    }
    quint16 Port() const { return server_.serverPort(); }

    // Stops listening and drops every accepted connection.
    void Stop()
    {
        server_.close();
        for (QTcpSocket* peer : peers_)
            peer->abort();
    }

    std::size_t Connections() const { return streams_.size(); }
    const QByteArray& Stream(std::size_t connection) const { return streams_.at(connection); }

    // The complete records received on a connection, as NAME=VALUE.
    std::vector<std::string> Records(std::size_t connection) const
    {
        std::vector<std::string> out;
        if (connection >= streams_.size())
            return out;
        const QByteArray& s = streams_[connection];
        for (qsizetype at = 0; at + qsizetype(kRecordSize) <= s.size(); at += qsizetype(kRecordSize))
            out.push_back(RecordText(reinterpret_cast<const uint8_t*>(s.constData() + at)));
        return out;
    }

    // Sends bytes on the latest connection and hands them to the system at once.
    void Send(const uint8_t* data, std::size_t size)
    {
        QTcpSocket* peer = peers_.back();
        peer->write(reinterpret_cast<const char*>(data), qint64(size));
        peer->flush();
    }

private:
    QTcpServer server_;
    std::vector<QTcpSocket*> peers_;   // owned by the server
    std::vector<QByteArray> streams_;
    bool reading_ = true;
};

// Resident memory of this process in bytes (Linux).
std::size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * std::size_t(sysconf(_SC_PAGESIZE));
}

class BridgeLoopback : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bridge.Listen()) << "cannot listen on 127.0.0.1"; }

    void TearDown() override
    {
        if (form)
            form->FormDestroy();
    }

    // Creates the controller, runs FormCreate (a second's blocking grace) and
    // waits for its announcement on the first connection.
    void StartAndWaitForConnection()
    {
        form = std::make_unique<TForm1>(Ports{*clock, loop, process, dialogs, files, boards, "/opt/zrk",
                                              socket, panelBus, simulator, bridge.Port()});
        loop.Bind(form.get());
        form->FormCreate();
        const Outcome o = RunUntil([this] { return !bridge.Records(0).empty(); }, 5000);
        ASSERT_EQ(o, Outcome::Met) << "no announcement";
    }

    // Creates the controller and waits until it is connected.
    void StartAndWaitUntilConnected()
    {
        form = std::make_unique<TForm1>(Ports{*clock, loop, process, dialogs, files, boards, "/opt/zrk",
                                              socket, panelBus, simulator, bridge.Port()});
        loop.Bind(form.get());
        form->FormCreate();
        const Outcome o = RunUntil([this] { return socket.Connected() && bridge.Connections() == 1; }, 5000);
        ASSERT_EQ(o, Outcome::Met) << "no connection";
    }

    void SendRecord(const std::string& message)
    {
        const RecordBytes r = EncodeMessage(message);
        bridge.Send(r.data(), r.size());
    }

    // Waits until the controller has taken `record` out of the stream whole.
    Outcome WaitUntilTaken(const RecordBytes& record)
    {
        return RunUntil(
            [&] { return form->bridge.Receiver().LastRecord() == record && form->bridge.Receiver().Held() == 0; },
            3000);
    }

    FakeBridge bridge;
    std::unique_ptr<IClock> clock = MakeSystemClock();
    QtEventLoop loop;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBoardLibrary boards{loop};
    QtBridgeSocket socket;
    BuiltInPanelBus panelBus;
    FsuipcEmulator simulator{clock.get()};
    std::unique_ptr<TForm1> form;
};

TEST_F(BridgeLoopback, AnnouncesItselfWithOneRecordAndSignsOffBeforeClosing)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWaitForConnection());
    const RecordBytes hello = EncodeMessage("ZRK_TQ_CONNECTED=1");
    const QByteArray& stream = bridge.Stream(0);
    ASSERT_GE(stream.size(), qsizetype(kRecordSize));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(hello.data()), qsizetype(hello.size())),
              stream.left(qsizetype(kRecordSize)));

    // Closing resets the connection at once; the sign-off must be on the
    // wire before that.
    form->FormDestroy();
    const Outcome o = RunUntil(
        [this] {
            const auto r = bridge.Records(0);
            return !r.empty() && r.back() == "ZRK_TQ_CONNECTED=0";
        },
        3000);
    EXPECT_EQ(o, Outcome::Met);
    EXPECT_EQ(bridge.Stream(0).size() % qsizetype(kRecordSize), 0);
    EXPECT_FALSE(socket.Connected());
}

TEST_F(BridgeLoopback, TheQuitOrderEndsTheControllerOnlyWhenCompleteAndSpelledExactly)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWaitForConnection());

    const RecordBytes lower = EncodeMessage("kill_tq_controller=1");
    bridge.Send(lower.data(), lower.size());
    Outcome o = WaitUntilTaken(lower);
    ASSERT_EQ(o, Outcome::Met);
    EXPECT_TRUE(process.killRequests.empty());

    // One record in three pieces, each let through the event loop before
    // the next goes.
    const RecordBytes kill = EncodeMessage("KILL_TQ_CONTROLLER=1");
    bridge.Send(kill.data(), 100);
    o = RunUntil([this] { return form->bridge.Receiver().Held() == 100; }, 3000);
    ASSERT_EQ(o, Outcome::Met);
    bridge.Send(kill.data() + 100, 200);
    o = RunUntil([this] { return form->bridge.Receiver().Held() == 300; }, 3000);
    ASSERT_EQ(o, Outcome::Met);
    EXPECT_TRUE(process.killRequests.empty());

    bridge.Send(kill.data() + 300, 57);
    o = RunUntil([] { return false; }, 3000);
    EXPECT_EQ(o, Outcome::Ended);
    EXPECT_EQ(process.killRequests, std::vector<std::string>{"NET_BRIDGE.exe"});
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(BridgeLoopback, ABurstEndingInTheQuitOrderEndsTheControllerAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWaitForConnection());

    // One write of 100 records, more than one data event reads; nothing
    // follows the quit order. (Small enough to reach the controller's side
    // whole, so no read can end inside a record.)
    QByteArray burst;
    for (int i = 1; i < 100; ++i) {
        const RecordBytes r = EncodeMessage("SOME_VALUE=" + std::to_string(i));
        burst.append(reinterpret_cast<const char*>(r.data()), qsizetype(r.size()));
    }
    const RecordBytes kill = EncodeMessage("KILL_TQ_CONTROLLER=1");
    burst.append(reinterpret_cast<const char*>(kill.data()), qsizetype(kill.size()));
    bridge.Send(reinterpret_cast<const uint8_t*>(burst.constData()), std::size_t(burst.size()));

    // Generous for a loaded machine; the controller needs milliseconds.
    const Outcome o = RunUntil([] { return false; }, 5000);
    EXPECT_EQ(o, Outcome::Ended);
    EXPECT_EQ(process.killRequests, std::vector<std::string>{"NET_BRIDGE.exe"});
}

TEST_F(BridgeLoopback, TheWatchdogReconnectsToARestartedBridge)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWaitForConnection());
    const quint16 port = bridge.Port();

    bridge.Stop();
    Outcome o = RunUntil([this] { return !socket.Connected(); }, 3000);
    ASSERT_EQ(o, Outcome::Met) << "still connected: ";
    // Let a watchdog attempt or two meet the closed port.
    RunUntil([] { return false; }, 300);

    ASSERT_TRUE(bridge.Listen(port)) << "cannot listen again on port " << port;
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    o = RunUntil([this] { return !bridge.Records(1).empty(); }, 4500);
    ASSERT_EQ(o, Outcome::Met) << "no new connection: ";
    EXPECT_EQ(bridge.Records(1).front(), "ZRK_TQ_CONNECTED=1");
    // The watchdog runs every two seconds; allow for a loaded machine.
    EXPECT_LE(sinceRestart.elapsed(), 4500);
    EXPECT_EQ(bridge.Connections(), 2u);
}

// A bridge that accepts the connection and stops reading: the controller
// keeps sending switch and flap changes. Its memory must stay bounded, and
// once the bridge reads again the latest value of every name must arrive.
class StalledBridgeLoopback : public BridgeLoopback {
protected:
    void SetUp() override { ASSERT_TRUE(bridge.ListenWithoutReading()) << "cannot listen on 127.0.0.1"; }
};

TEST_F(StalledBridgeLoopback, CostsBoundedMemoryAndGetsTheLatestValueOfEveryName)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWaitUntilConnected());
    constexpr int kNames = 12;
    constexpr int kMessages = 200000;   // 71 MB of records
    std::vector<std::string> latest(kNames);
    const std::size_t before = ResidentBytes();
    qint64 mostQueued = 0;
    std::size_t mostHeld = 0;
    for (int i = 0; i < kMessages; ++i) {
        const int name = i % kNames;
        latest[std::size_t(name)] = "SWITCH_" + std::to_string(name) + "=" + std::to_string(i);
        form->Send_Server_Message(latest[std::size_t(name)]);
        if (i % 500 == 0) {
            QCoreApplication::processEvents();
            mostQueued = std::max(mostQueued, socket.Queued());
            mostHeld = std::max(mostHeld, form->bridge.HeldMessages().size());
        }
    }
    const std::size_t grown = ResidentBytes() - std::min(before, ResidentBytes());
    EXPECT_LE(mostQueued, QtBridgeSocket::kMaxQueuedBytes);
    EXPECT_LE(mostHeld, std::size_t(kNames) + 4);   // and the controller's own messages
    EXPECT_FALSE(form->bridge.HeldMessages().empty()) << "the bridge never stalled the controller";
    EXPECT_LT(grown, std::size_t(16) << 20) << "resident memory grew by " << grown << " bytes";

    bridge.ResumeReading();
    const auto lastOf = [this](const std::string& name) {
        std::string last;
        for (const std::string& r : bridge.Records(0))
            if (r.rfind(name + "=", 0) == 0)
                last = r;
        return last;
    };
    const Outcome o = RunUntil(
        [&] {
            if (!form->bridge.HeldMessages().empty() || socket.Queued() > 0)
                return false;
            for (int n = 0; n < kNames; ++n)
                if (lastOf("SWITCH_" + std::to_string(n)) != latest[std::size_t(n)])
                    return false;
            return true;
        },
        10000);
    EXPECT_EQ(o, Outcome::Met);
    EXPECT_EQ(bridge.Stream(0).size() % qsizetype(kRecordSize), 0) << "a record was split";
    // Far fewer records than were sent reached the bridge: the superseded
    // values were dropped, not queued.
    EXPECT_LT(bridge.Records(0).size(), std::size_t(kMessages) / 10);
}

} // namespace
} // namespace zrk::test

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
