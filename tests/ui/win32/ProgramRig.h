#pragma once
// What the tests of the Windows program need around it: the program's
// folder as it is installed, a stand-in for the bridge program listening
// where the program connects, and the running program with its windows,
// driven from outside as a user (or an accessibility tool) would.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>

namespace zrk::test {

// Deadlines of the waits for the program: generous, as every wine process
// start is slow; a passing run waits only as long as it must.
inline constexpr int kStartMs = 30000;
inline constexpr int kReactMs = 10000;

// A fresh installation in a temporary folder, removed at the end:
//   <root>\zrk\zrk-tq.exe, phidget21.dll (the fake boards), CONFIG.INI
//   <root>\NET_BRIDGE\PANELBUS.dll (the bridge's data library stand-in)
// The program runs with <root>\zrk as its working folder, where it looks
// for the bridge's files in ..\NET_BRIDGE.
class ProgramInstall {
public:
    explicit ProgramInstall(const std::string& config);
    ~ProgramInstall();
    ProgramInstall(const ProgramInstall&) = delete;
    ProgramInstall& operator=(const ProgramInstall&) = delete;

    // Empty when the installation is complete, else what is missing.
    const std::string& Problem() const { return problem_; }
    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path Program() const { return folder_ / "zrk-tq.exe"; }
    std::string Config() const;

private:
    std::filesystem::path root_, folder_;
    std::string problem_;
};

// The bridge program as the controller sees it: the mutex that tells it
// the bridge runs (so no bridge is launched and waited for) and a listener
// on 127.0.0.1:698 that takes the controller's connection, collects its
// records and sends records back.
class BridgeStandIn {
public:
    BridgeStandIn();
    ~BridgeStandIn();
    BridgeStandIn(const BridgeStandIn&) = delete;
    BridgeStandIn& operator=(const BridgeStandIn&) = delete;

    // Empty when listening, else why not.
    const std::string& Problem() const { return problem_; }
    // Waits for the connection of the process `processId`. Connections of
    // other processes (another controller trying the port) are refused.
    bool Accept(DWORD processId, int timeoutMs);
    // Reads records until one reads `message` ("NAME=VALUE"); true when it
    // came. Every record received stays in Received().
    bool WaitFor(const std::string& message, int timeoutMs);
    const std::vector<std::string>& Received() const { return received_; }
    std::string ReceivedText() const;
    bool Send(const std::string& message);

private:
    // Whether `connection` comes from the process `processId`; true when
    // the system cannot tell.
    static bool FromProcess(SOCKET connection, DWORD processId);
    // Reads what is there within `timeoutMs`; false once the peer closed.
    bool ReadSome(int timeoutMs);

    HANDLE mutex_ = nullptr;
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET peer_ = INVALID_SOCKET;
    bool peerClosed_ = false;
    std::string problem_;
    std::vector<uint8_t> pending_;
    std::vector<std::string> received_;
};

// The program started from an installation, ended by force at the end of
// the scope if it still runs. With a `fakeChannel` name the fake board
// library inside it opens its control window under that name. Its standard
// output and error go to a file of the installation (so that it never
// takes the test's console for its own).
class RunningProgram {
public:
    RunningProgram(const ProgramInstall& install, const std::vector<std::string>& args,
                   const std::string& fakeChannel);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return process_ != nullptr; }
    // What it wrote to standard output and error so far.
    std::string Output() const;
    DWORD Id() const { return id_; }
    bool Running();
    bool WaitForExit(int timeoutMs);
    int ExitCode() const { return exitCode_; }

    // A top-level window of this process with this class and (when given)
    // a title starting with `title`; nullptr when none came within the time.
    HWND WaitForWindow(const char* windowClass, const std::wstring& title, int timeoutMs);
    // The main window, a form by its caption.
    HWND WaitForForm(const std::wstring& caption, int timeoutMs = kStartMs);
    // A message box of this process (a #32770 dialog).
    HWND WaitForMessageBox(int timeoutMs = kReactMs);
    bool MessageBoxGone(HWND box, int timeoutMs = kReactMs);

    // Its top-level windows, one line each: class, title, visibility.
    std::string Windows();

    // Sends one command to the fake board library's control window (see
    // fake_phidget21.cpp); true when it was done.
    bool Boards(const std::string& command);

    // The text of the main window's message log, for checks and for
    // failure reports; once the window has gone, as last read.
    std::wstring Log();
    bool WaitForLog(const std::wstring& text, int timeoutMs = kReactMs);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    int exitCode_ = -1;
    std::string fakeChannel_;
    std::filesystem::path output_;
    std::wstring lastLog_;
};

// A control of a form window by its id (ControlId); nullptr when absent.
HWND FindControl(HWND form, int id);
// A control of a form by its name in the form's layout.
HWND FindControl(HWND form, const std::string& formName, const std::string& controlName);
// Whether a check box or radio button is checked.
bool Checked(HWND button);
// A window's text, read through the window (works across processes).
std::wstring WindowText(HWND window);
// The text a message box shows.
std::wstring MessageBoxText(HWND box);
// Presses a button as a click would, without waiting for what the click
// starts (a click that opens a modal message box returns only when it is
// answered).
bool Click(HWND button);
// Moves a track bar as a user's drag would: the position, then the
// scroll notifications a drag ends with.
bool Drag(HWND trackBar, int position);

std::string Narrow(const std::wstring& text);

} // namespace zrk::test
