// Program entry of the controller on Windows: the native window, or
// headless. A GUI program (no console window of its own when started from
// the desktop); started from a console it writes to that console.
#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>
#include <functional>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>

#include "app/Entry.h"
#include "app/ProgramOptions.h"
#include "app/TForm1.h"
#include "app/VirtualProcessEnv.h"
#include "app/demo/DemoCockpit.h"
#include "app/demo/DemoHost.h"
#include "boards/VirtualQuadrant.h"
#include "platform/BoardsCommand.h"
#include "platform/Platform.h"
#include "platform/RecordingFile.h"
#include "platform/win32/WinsockBridgeSocket.h"
#include "ui/win32/Win32BuiltInBridge.h"
#include "ui/win32/Win32Host.h"
#include "ui/win32/Win32MainWindow.h"
#include "ui/win32/Win32QuadrantWindow.h"

namespace {

bool StandardHandleUsable(DWORD which)
{
    const HANDLE h = GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// A GUI program started from a console gets no console of its own: it
// joins that of its parent, so that Ctrl+C and Ctrl+Break there reach it,
// and writes there what has no other place to go. An output redirected to
// a file or pipe is used as it is.
void UseParentConsole()
{
    // Judged before attaching: the C runtime took its streams from the
    // handles the program was started with.
    const bool out = StandardHandleUsable(STD_OUTPUT_HANDLE);
    const bool err = StandardHandleUsable(STD_ERROR_HANDLE);
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out && std::freopen("CONOUT$", "w", stdout))
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!err && std::freopen("CONOUT$", "w", stderr))
        std::setvbuf(stderr, nullptr, _IONBF, 0);
}

// Ctrl+C and Ctrl+Break in the console the program writes to, and the
// console's closing, end it as a stop signal does: the C runtime's signal
// handler (installed by InstallStopSignalHandlers) records the request.
BOOL WINAPI OnConsoleControl(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        std::raise(SIGINT);
        return TRUE;
    case CTRL_BREAK_EVENT:
        std::raise(SIGBREAK);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // The system ends the process when this returns: give the
        // controller a moment to shut down first.
        std::raise(SIGTERM);
        Sleep(3000);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int main(int argc, char** argv)
{
    // First of all: from here on a stop signal ends the program through its
    // usual shutdown.
    zrk::ProtectStandardStreams();
    zrk::InstallStopSignalHandlers();
    UseParentConsole();
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);

    const std::string usage = zrk::UsageText({true, zrk::kBoardLibraryFile, true});
    const zrk::CommandLine commandLine = zrk::ParseCommandLine(argc, argv, usage);
    if (!commandLine.run) {
        std::fputs(commandLine.standardOutput.c_str(), stdout);
        std::fputs(commandLine.standardError.c_str(), stderr);
        std::fflush(stdout);
        std::fflush(stderr);
        return commandLine.exitCode;
    }
    // The window has one colour scheme here: --theme is taken and ignored.
    const bool headless = commandLine.options.headless;
    const bool virtualBoards = commandLine.options.virtualBoards;
    const bool demo = commandLine.options.demo;
    const bool stats = commandLine.options.stats;

    // Files and messages always use "." as the decimal separator, whatever
    // the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    auto process = zrk::MakeProcessEnv();
    auto systemClock = zrk::MakeSystemClock();
    // Start-up's waits end early on a stop signal.
    zrk::StoppableClock clock(*systemClock, [] { return zrk::StopRequested(); });
    auto files = zrk::MakeDiskFileSystem();
    // --boards: what the board library finds, then the end; nothing else
    // starts (no bridge, no window).
    if (commandLine.options.boards) {
        zrk::Win32EventLoop boardsLoop;
        return zrk::RunBoardsCommand(boardsLoop, [](uint32_t ms) {
            const DWORD end = GetTickCount() + ms;
            for (DWORD now = GetTickCount(); int32_t(now - end) < 0; now = GetTickCount()) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            }
        }, *files, zrk::ExecutableFolder());
    }
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

    zrk::Win32EventLoop loop;
    if (!loop.Ready()) {
        std::fprintf(stderr, "zrk-tq: the message window cannot be created (error %lu)\n", GetLastError());
        return 1;
    }

    // The virtual cockpit: its own folder for CONFIG.INI, its boards, data
    // library and simulator, and a bridge on loopback. No Quadrant window
    // here: the cockpit runs behind the main window only.
    std::string demoFolder;
    std::unique_ptr<zrk::DemoCockpit> cockpit;
    std::unique_ptr<zrk::Win32BuiltInBridge> builtInBridge;
    uint16_t bridgePort = 698;
    if (demo) {
        demoFolder = zrk::ExecutableFolder() + "\\demo";
        std::string error;
        const bool folderThere =
            CreateDirectoryA(demoFolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
        if (!folderThere || !zrk::DemoCockpit::PrepareFolder(*files, demoFolder, error)) {
            std::fprintf(stderr, "zrk-tq: the demo folder %s cannot be prepared%s%s\n", demoFolder.c_str(),
                         error.empty() ? "" : ": ", error.c_str());
            return 1;
        }
        cockpit = std::make_unique<zrk::DemoCockpit>(loop, clock);
        // Headless, the messages it receives are printed as well.
        std::function<void(const std::string&)> print;
        if (headless)
            print = [](const std::string& line) { zrk::WriteStandardOutputLine(line); };
        builtInBridge = std::make_unique<zrk::Win32BuiltInBridge>(zrk::DemoBridgeReceiver(*cockpit, print));
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
    zrk::Win32Dialogs windowDialogs;
    zrk::HeadlessDialogs headlessDialogs;
    zrk::StopAwareDialogs dialogs(headless ? static_cast<zrk::IDialogs&>(headlessDialogs) : windowDialogs,
                                  [] { return zrk::StopRequested(); });

    zrk::WinsockBridgeSocket socket;
    // The cockpit brings its own data library and simulator: the bridge's
    // DLL is not looked for (nor its absence logged) in the demo.
    const std::unique_ptr<zrk::IPanelBus> panelBus = demo ? nullptr : zrk::MakePanelBus(log);
    const std::unique_ptr<zrk::IIpcTransport> simulator = demo ? nullptr : zrk::MakeSimulatorTransport(false, clock);
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
    std::unique_ptr<zrk::DemoStepper> stepper;
    if (cockpit) {
        zrk::StartDemoCockpit(*cockpit, form, demoFolder, bridgePort);
        stepper = std::make_unique<zrk::DemoStepper>(*cockpit);
        loop.Every(zrk::VirtualQuadrant::kStepMs, [&stepper] { stepper->Tick(); });
    }

    bool closed = false;
    std::unique_ptr<zrk::Win32MainWindow> window;
    if (!headless) {
        window = std::make_unique<zrk::Win32MainWindow>(form, GetModuleHandleW(nullptr));
        if (!window->Create()) {
            std::fprintf(stderr, "zrk-tq: the window cannot be opened (error %lu); zrk-tq --headless runs without one\n",
                         GetLastError());
            std::fflush(stderr);
            form.FormDestroy();
            recording.Finish();
            return 1;
        }
        windowDialogs.owner = window->Handle();
        loop.onMinimize = [&window] { window->Minimize(); };
        // The program ends with its window.
        window->onClosed = [&closed] {
            closed = true;
            PostQuitMessage(0);
        };
        window->Show(SW_SHOWDEFAULT);
    }
    // The virtual cockpit's quadrant, beside the main window or in front.
    std::unique_ptr<zrk::Win32QuadrantWindow> quadrantWindow;
    if (cockpit && window) {
        quadrantWindow = std::make_unique<zrk::Win32QuadrantWindow>(*cockpit, GetModuleHandleW(nullptr));
        if (quadrantWindow->Create(window->Handle()))
            quadrantWindow->Show();
        else
            form.Log("The Quadrant window cannot be opened; the virtual cockpit runs without it");
    }

    // A stop signal ends the program like a window close whose save
    // question is answered "No". Returns whether the window has closed.
    auto closeOnStop = [&]() -> bool {
        if (window) {
            // An open message box is closed first (its answer is "Cancel");
            // the close is tried again at the next look.
            if (zrk::CancelModalDialogs())
                return false;
            return window->Close();
        }
        if (!form.FormCloseQuery())
            return false;
        form.FormClose();
        return true;
    };
    loop.Every(50, [&] {
        if (closed || !zrk::StopRequested())
            return;
        closed = closeOnStop();
        if (closed)
            PostQuitMessage(0);
    });

    // A signal during FormCreate is acted on before the loop starts.
    if (zrk::StopRequested())
        closed = closeOnStop();
    const int rc = closed ? 0 : zrk::RunMessageLoop([&window](MSG& msg) {
        return window && window->Handle() && window->TranslateDialogMessage(msg);
    });
    loop.StopAllTimers();
    quadrantWindow.reset();
    form.FormDestroy();
    recording.Finish();
    if (stats)
        zrk::WriteStandardOutputLine(statsSink.stats.Report("Main cycle"));
    return rc;
}
