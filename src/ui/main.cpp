// Program entry of the controller: the Qt host, with a window or headless.
#include <QApplication>
#include <QCoreApplication>
#include <QLocale>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
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

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int)
{
    g_stopRequested = 1;
}

const char* const kUsage =
    "Usage: zrk-tq [--headless] [--help] [--version]\n"
    "\n"
    "Controller of the throttle quadrant and trim unit. Settings are read from\n"
    "CONFIG.INI beside the executable (written with defaults on the first start).\n"
    "\n"
    "  --headless  run without a window; every log line goes to standard output;\n"
    "              SIGINT or SIGTERM end the program without saving\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

} // namespace

int main(int argc, char** argv)
{
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
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
    if (headless)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);

    // Files and messages always use "." as the decimal separator, whatever
    // the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());

    auto process = zrk::MakeProcessEnv();
    auto clock = zrk::MakeSystemClock();
    auto files = zrk::MakeDiskFileSystem();
    zrk::EnsureBridgeRunning(*process, *clock);

    zrk::QtEventLoop loop;
    // No board library on this platform: virtual boards that never attach.
    zrk::VirtualBoardLibrary boards(loop);
    zrk::QtDialogs windowDialogs;
    zrk::HeadlessDialogs headlessDialogs;
    zrk::IDialogs& dialogs = headless ? static_cast<zrk::IDialogs&>(headlessDialogs) : windowDialogs;

    zrk::QtBridgeSocket socket;
    // What the bridge's data library reports before the log exists waits
    // for it; the log starts during FormCreate.
    zrk::TForm1* logForm = nullptr;
    std::vector<std::string> earlyLog;
    auto panelBus = zrk::MakePanelBus([&](const std::string& line) {
        if (logForm)
            logForm->Log(line);
        else
            earlyLog.push_back(line);
    });
    auto simulator = zrk::MakeSimulatorTransport(false, *clock);
    zrk::Ports ports{*clock,   loop,   *process, dialogs,  *files,
                     boards,   zrk::ExecutableFolder(), socket,   *panelBus, *simulator};
    zrk::TForm1 form(ports);
    loop.Bind(&form);
    if (headless) {
        form.Memo1.OnLine = [](const std::string& line) {
            std::fputs(line.c_str(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        };
    }

    form.FormCreate();
    logForm = &form;
    for (const std::string& line : earlyLog)
        form.Log(line);
    earlyLog.clear();

    std::unique_ptr<zrk::MainWindow> window;
    QTimer signalWatch;
    if (headless) {
        std::signal(SIGINT, OnStopSignal);
        std::signal(SIGTERM, OnStopSignal);
        QObject::connect(&signalWatch, &QTimer::timeout, [&] {
            if (!g_stopRequested)
                return;
            g_stopRequested = 0;
            // As a window close whose save question is answered "No".
            if (form.FormCloseQuery()) {
                form.FormClose();
                QCoreApplication::exit(0);
            }
        });
        signalWatch.start(50);
    } else {
        window = std::make_unique<zrk::MainWindow>(form);
        loop.onMinimize = [&window] { window->showMinimized(); };
        window->show();
    }

    const int rc = app->exec();
    form.FormDestroy();
    return rc;
}
