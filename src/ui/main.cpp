// Program entry of the controller: the Qt host, with a window or headless.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Entry.h"
#include "app/ProgramOptions.h"
#include "app/TForm1.h"
#include "app/VirtualProcessEnv.h"
#include "app/demo/CycleStats.h"
#include "app/demo/DemoCockpit.h"
#include "app/demo/DemoHost.h"
#include "boards/VirtualBoards.h"
#include "platform/BoardsCommand.h"
#include "platform/Platform.h"
#include "platform/RecordingFile.h"
#include "ui/BuiltInBridge.h"
#include "ui/MainWindow.h"
#include "ui/QtBridgeSocket.h"
#include "ui/QtHost.h"
#include "ui/QuadrantWindow.h"

namespace {

void ReportNoDisplay(const std::string& why)
{
    std::fprintf(stderr, "zrk-tq: no display to show the window on (%s); zrk-tq --headless runs without one\n",
                 why.c_str());
    std::fflush(stderr);
}

// Whether a window system is named at all. Without one Qt would abort.
bool DisplayNamed(std::string& why)
{
#if defined(__unix__) && !defined(__APPLE__)
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    // A platform chosen by hand (offscreen, vnc, linuxfb, ...) may need none.
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return true;
    why = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    return false;
#else
    (void)why;
    return true;
#endif
}

// Qt's messages while the window system is being opened are held back, so
// that a failure to open it (a display that does not answer) comes out as
// one line of ours and exit status 1, not as Qt's abort.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
std::vector<HeldMessage> g_held;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        g_held.push_back({type, context.category ? context.category : "", text});
        return;
    }
    for (const HeldMessage& m : g_held) {
        if (m.text.contains(QStringLiteral("display"), Qt::CaseInsensitive)) {
            ReportNoDisplay(m.text.trimmed().toStdString());
            std::_Exit(1);
        }
    }
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "zrk-tq: the window cannot be opened (%s); zrk-tq --headless runs without one\n",
                 firstLine.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

std::unique_ptr<QCoreApplication> OpenWindowSystem(int& argc, char** argv)
{
    const QtMessageHandler previous = qInstallMessageHandler(HoldMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage& m : g_held) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.category.c_str());
        qt_message_output(m.type, context, m.text);
    }
    g_held.clear();
    return app;
}

} // namespace

int main(int argc, char** argv)
{
    // First of all: from here on a stop signal ends the program through its
    // usual shutdown, and a closed or unread standard output cannot kill it.
    zrk::ProtectStandardStreams();
    zrk::InstallStopSignalHandlers();

    const std::string usage = zrk::UsageText({false, zrk::kBoardLibraryFile, true});
    const zrk::CommandLine commandLine = zrk::ParseCommandLine(argc, argv, usage);
    if (!commandLine.run) {
        std::fputs(commandLine.standardOutput.c_str(), stdout);
        std::fputs(commandLine.standardError.c_str(), stderr);
        return commandLine.exitCode;
    }
    const bool headless = commandLine.options.headless;
    const bool virtualBoards = commandLine.options.virtualBoards;
    const bool demo = commandLine.options.demo;
    const bool stats = commandLine.options.stats;
    std::optional<zrk::Theme> theme;
    if (commandLine.options.theme)
        theme = *commandLine.options.theme == zrk::ThemeChoice::Dark ? zrk::Theme::Dark : zrk::Theme::Light;

    std::unique_ptr<QCoreApplication> app;
    // --boards: what the board library finds, then the end; nothing else
    // starts (no bridge, no window, no display needed).
    if (commandLine.options.boards) {
        QCoreApplication boardsApp(argc, argv);
        zrk::QtEventLoop boardsLoop;
        auto files = zrk::MakeDiskFileSystem();
        return zrk::RunBoardsCommand(boardsLoop, [](uint32_t ms) {
            QEventLoop wait;
            QTimer::singleShot(int(ms), &wait, &QEventLoop::quit);
            wait.exec();
        }, *files, zrk::ExecutableFolder());
    }
    if (headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        std::string why;
        if (!DisplayNamed(why)) {
            ReportNoDisplay(why);
            return 1;
        }
        app = OpenWindowSystem(argc, argv);
    }

    // Files and messages always use "." as the decimal separator, whatever
    // the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());

    auto process = zrk::MakeProcessEnv();
    auto systemClock = zrk::MakeSystemClock();
    // Start-up's waits end early on a stop signal.
    zrk::StoppableClock clock(*systemClock, [] { return zrk::StopRequested(); });
    auto files = zrk::MakeDiskFileSystem();
    // The cockpit brings its own bridge; no program is started or killed.
    zrk::VirtualProcessEnv demoProcess;
    demoProcess.bridgeRunning = true;
    // --record: the file is created before anything starts.
    zrk::ProgramRecording recording;
    if (!recording.Open(commandLine.options.recordFile, commandLine.options.recordLimitBytes, *files))
        return 1;
    if (!demo)
        zrk::EnsureBridgeRunning(*process, clock);
    // Stopped while waiting for the bridge: nothing is open yet, so there is
    // nothing to shut down.
    if (zrk::StopRequested())
        return 0;

    zrk::QtEventLoop loop;

    // The virtual cockpit: its own folder for CONFIG.INI, its boards, data
    // library and simulator, and a bridge on loopback.
    std::string demoFolder;
    std::unique_ptr<zrk::DemoCockpit> cockpit;
    std::unique_ptr<zrk::BuiltInBridge> builtInBridge;
    uint16_t bridgePort = 698;
    if (demo) {
        demoFolder = QDir(QString::fromStdString(zrk::ExecutableFolder())).filePath("demo").toStdString();
        std::string error;
        if (!QDir().mkpath(QString::fromStdString(demoFolder))
            || !zrk::DemoCockpit::PrepareFolder(*files, demoFolder, error)) {
            std::fprintf(stderr, "zrk-tq: the demo folder %s cannot be prepared%s%s\n", demoFolder.c_str(),
                         error.empty() ? "" : ": ", error.c_str());
            return 1;
        }
        cockpit = std::make_unique<zrk::DemoCockpit>(loop, clock);
        // Headless, the messages it receives are printed as well.
        std::function<void(const std::string&)> print;
        if (headless)
            print = [](const std::string& line) { zrk::WriteStandardOutputLine(line); };
        builtInBridge = std::make_unique<zrk::BuiltInBridge>(zrk::DemoBridgeReceiver(*cockpit, print));
        bridgePort = builtInBridge->Listen(698);
        if (bridgePort == 0) {
            std::fprintf(stderr, "zrk-tq: the built-in bridge cannot listen on 127.0.0.1\n");
            return 1;
        }
    }
    // What is reported before the log exists waits for it; the log starts
    // during FormCreate.
    zrk::EarlyLog earlyLog;
    auto log = [&earlyLog](const std::string& line) { earlyLog(line); };
    for (const std::string& line : commandLine.logLines)
        log(line);
    // The board maker's library when it loads, else virtual boards that
    // never attach.
    const std::unique_ptr<zrk::IBoardLibrary> boards =
        demo ? nullptr : zrk::MakeBoardLibrary(loop, virtualBoards, log);
    zrk::QtDialogs windowDialogs;
    zrk::HeadlessDialogs headlessDialogs;
    zrk::StopAwareDialogs dialogs(headless ? static_cast<zrk::IDialogs&>(headlessDialogs) : windowDialogs,
                                  [] { return zrk::StopRequested(); });

    zrk::QtBridgeSocket socket;
    auto panelBus = zrk::MakePanelBus(log);
    auto simulator = zrk::MakeSimulatorTransport(false, clock);
    const zrk::Ports ports =
        demo ? cockpit->MakePorts(clock, loop, demoProcess, dialogs, *files, demoFolder, socket, bridgePort)
             : zrk::Ports{clock,   loop, *process, dialogs, *files, *boards, zrk::ExecutableFolder(),
                          socket, *panelBus, *simulator};
    zrk::TForm1 form(recording.Wrap(ports));
    recording.Attach(form, log);
    zrk::CycleStatsSink statsSink(form);
    loop.Bind(&statsSink);
    if (headless) {
        // A line standard output cannot take now is dropped: the controller
        // never waits for a reader.
        form.Memo1.OnLine = [](const std::string& line) { zrk::WriteStandardOutputLine(line); };
    }

    form.FormCreate();
    earlyLog.Attach(form);

    // The cockpit's quadrant is wired from the settings just read, and runs
    // with the flight on a timer of its own, every 8 ms.
    QTimer demoStep;
    std::unique_ptr<zrk::DemoStepper> stepper;
    if (cockpit) {
        zrk::StartDemoCockpit(*cockpit, form, demoFolder, bridgePort);
        stepper = std::make_unique<zrk::DemoStepper>(*cockpit);
        demoStep.setTimerType(Qt::PreciseTimer);
        QObject::connect(&demoStep, &QTimer::timeout, [&stepper] { stepper->Tick(); });
        demoStep.start(int(zrk::VirtualQuadrant::kStepMs));
    }

    std::unique_ptr<zrk::MainWindow> window;
    if (!headless) {
        const QString windowSettings = QDir(QString::fromStdString(zrk::ExecutableFolder())).filePath("WINDOW.INI");
        window = std::make_unique<zrk::MainWindow>(form, zrk::WindowOptions{theme, windowSettings});
        loop.onMinimize = [&window] { window->showMinimized(); };
        window->show();
    }
    std::unique_ptr<zrk::QuadrantWindow> quadrantWindow;
    if (cockpit && window) {
        quadrantWindow = std::make_unique<zrk::QuadrantWindow>(*cockpit);
        // The program ends with the main window; the quadrant's closes with it.
        quadrantWindow->setAttribute(Qt::WA_QuitOnClose, false);
        zrk::PlaceQuadrantWindow(*quadrantWindow, *window);
        quadrantWindow->show();
    }

    // A stop signal ends the program like a window close whose save
    // question is answered "No". Returns whether the window has closed.
    auto closeOnStop = [&]() -> bool {
        if (window) {
            // An open message box is closed first (its answer is "Cancel");
            // the close is tried again at the next look.
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
                return false;
            }
            window->close();
            return !window->isVisible();
        }
        if (!form.FormCloseQuery())
            return false;
        form.FormClose();
        return true;
    };
    bool closed = false;
    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, [&] {
        if (closed || !zrk::StopRequested())
            return;
        closed = closeOnStop();
        if (closed)
            QCoreApplication::exit(0);
    });
    signalWatch.start(50);

    // A signal during FormCreate is acted on before the loop starts.
    if (zrk::StopRequested())
        closed = closeOnStop();
    const int rc = closed ? 0 : app->exec();
    demoStep.stop();
    quadrantWindow.reset();
    form.FormDestroy();
    recording.Finish();
    if (stats)
        zrk::WriteStandardOutputLine(statsSink.stats.Report("Main cycle"));
    return rc;
}
