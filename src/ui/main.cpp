// Program entry of the controller: the Qt host, with a window or headless.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTimer>
#include <QWidget>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Entry.h"
#include "app/TForm1.h"
#include "boards/VirtualBoards.h"
#include "platform/Platform.h"
#include "ui/MainWindow.h"
#include "ui/QtBridgeSocket.h"
#include "ui/QtHost.h"

namespace {

const char* const kUsage =
    "Usage: zrk-tq [--headless] [--virtual-boards] [--theme light|dark] [--help] [--version]\n"
    "\n"
    "Controller of the throttle quadrant and trim unit. Settings are read from\n"
    "CONFIG.INI beside the executable (written with defaults on the first start).\n"
    "SIGINT, SIGTERM or SIGHUP end the program without saving.\n"
    "\n"
    "  --headless        run without a window; every log line goes to standard output\n"
    "  --virtual-boards  use virtual boards that never attach instead of the board\n"
    "                    library (libphidget21.so.0 / phidget21.dll)\n"
    "  --theme light|dark  the window's colours for this run (the View menu keeps\n"
    "                    a choice in WINDOW.INI beside CONFIG.INI)\n"
    "  --help            show this text\n"
    "  --version         show the version\n";

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

// Nobody answers a question while a stop signal ends the program: it is
// answered "No", as for a window close without saving.
class StopAwareDialogs : public zrk::IDialogs {
public:
    explicit StopAwareDialogs(zrk::IDialogs& inner) : inner_(inner) {}
    zrk::DialogAnswer AskYesNoCancel(const std::string& text) override
    {
        return zrk::StopRequested() ? zrk::DialogAnswer::No : inner_.AskYesNoCancel(text);
    }
    void ShowError(const std::string& text) override { inner_.ShowError(text); }

private:
    zrk::IDialogs& inner_;
};

} // namespace

int main(int argc, char** argv)
{
    // First of all: from here on a stop signal ends the program through its
    // usual shutdown, and a closed or unread standard output cannot kill it.
    zrk::ProtectStandardStreams();
    zrk::InstallStopSignalHandlers();

    bool headless = false;
    bool virtualBoards = false;
    std::optional<zrk::Theme> theme;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else if (std::strcmp(argv[i], "--virtual-boards") == 0) {
            virtualBoards = true;
        } else if (std::strcmp(argv[i], "--theme") == 0) {
            // The window's colour theme (ignored headless).
            theme = i + 1 < argc ? zrk::ParseTheme(QString::fromLocal8Bit(argv[i + 1])) : std::nullopt;
            if (!theme) {
                std::fprintf(stderr, "zrk-tq: --theme takes light or dark\n\n%s", kUsage);
                return 2;
            }
            ++i;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zrk-tq %s\n", zrk::kVersion);
            return 0;
        } else {
            std::fprintf(stderr, "zrk-tq: unknown option %s\n\n%s", argv[i], kUsage);
            return 2;
        }
    }

    std::unique_ptr<QCoreApplication> app;
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
    zrk::EnsureBridgeRunning(*process, clock);
    // Stopped while waiting for the bridge: nothing is open yet, so there is
    // nothing to shut down.
    if (zrk::StopRequested())
        return 0;

    zrk::QtEventLoop loop;
    // What is reported before the log exists waits for it; the log starts
    // during FormCreate.
    zrk::TForm1* logForm = nullptr;
    std::vector<std::string> earlyLog;
    auto log = [&](const std::string& line) {
        if (logForm)
            logForm->Log(line);
        else
            earlyLog.push_back(line);
    };
    // The board maker's library when it loads, else virtual boards that
    // never attach.
    const std::unique_ptr<zrk::IBoardLibrary> boards = zrk::MakeBoardLibrary(loop, virtualBoards, log);
    zrk::QtDialogs windowDialogs;
    zrk::HeadlessDialogs headlessDialogs;
    StopAwareDialogs dialogs(headless ? static_cast<zrk::IDialogs&>(headlessDialogs) : windowDialogs);

    zrk::QtBridgeSocket socket;
    auto panelBus = zrk::MakePanelBus(log);
    auto simulator = zrk::MakeSimulatorTransport(false, clock);
    zrk::Ports ports{clock,  loop,   *process, dialogs,  *files,
                     *boards, zrk::ExecutableFolder(), socket,   *panelBus, *simulator};
    zrk::TForm1 form(ports);
    loop.Bind(&form);
    if (headless) {
        // A line standard output cannot take now is dropped: the controller
        // never waits for a reader.
        form.Memo1.OnLine = [](const std::string& line) { zrk::WriteStandardOutputLine(line); };
    }

    form.FormCreate();
    logForm = &form;
    for (const std::string& line : earlyLog)
        form.Log(line);
    earlyLog.clear();

    std::unique_ptr<zrk::MainWindow> window;
    if (!headless) {
        const QString windowSettings = QDir(QString::fromStdString(zrk::ExecutableFolder())).filePath("WINDOW.INI");
        window = std::make_unique<zrk::MainWindow>(form, zrk::WindowOptions{theme, windowSettings});
        loop.onMinimize = [&window] { window->showMinimized(); };
        window->show();
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
    form.FormDestroy();
    return rc;
}
