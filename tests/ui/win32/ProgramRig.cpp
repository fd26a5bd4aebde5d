#include "ProgramRig.h"

#include <ws2tcpip.h>
#include <commctrl.h>
#include <iphlpapi.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "TestProcess.h"
#include "app/WindowLayout.h"
#include "bridge/UpdateRecord.h"
#include "platform/Platform.h"

namespace zrk::test {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(int timeoutMs) { return Clock::now() + std::chrono::milliseconds(timeoutMs); }

int MsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Messages to the program's windows: never waiting for ever on a program
// that hangs.
constexpr UINT kSendTimeoutMs = 5000;

bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result = nullptr)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               result ? result : &ignored) != 0;
}

struct WindowSearch {
    DWORD process;
    const wchar_t* windowClass;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process)
        return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) != search->windowClass)
        return TRUE;
    // The title starts with the one looked for: the main window adds the
    // program's version to its form's caption.
    if (search->title && !search->title->empty() && WindowText(window).rfind(*search->title, 0) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

struct WindowListing {
    DWORD process;
    std::string text;
};

BOOL CALLBACK ListWindow(HWND window, LPARAM data)
{
    auto* listing = reinterpret_cast<WindowListing*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != listing->process)
        return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    listing->text += "  " + Narrow(name) + " \"" + Narrow(WindowText(window)) + "\""
                     + (IsWindowVisible(window) ? " visible\n" : " hidden\n");
    return TRUE;
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<ChildSearch*>(data);
    if (GetDlgCtrlID(window) != search->id)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

// ---------------------------------------------------------------- install

ProgramInstall::ProgramInstall(const std::string& config)
    : root_(fs::temp_directory_path() / UniqueName("zrk_program")), folder_(root_ / "zrk")
{
    const fs::path here = ExecutableFolder();
    const fs::path bridge = root_ / "NET_BRIDGE";
    const std::pair<fs::path, fs::path> copies[] = {
        {here / "zrk-tq.exe", folder_ / "zrk-tq.exe"},
        {here / "zrk_fake_phidget21.dll", folder_ / "phidget21.dll"},
        {here / "zrk_test_panelbus.dll", bridge / "PANELBUS.dll"},
    };
    std::error_code error;
    fs::create_directories(folder_, error);
    fs::create_directories(bridge, error);
    for (const auto& [from, to] : copies) {
        if (!fs::copy_file(from, to, error)) {
            problem_ += "cannot copy " + from.string() + " to " + to.string() + ": " + error.message() + "\n";
        }
    }
    std::ofstream(folder_ / "CONFIG.INI", std::ios::binary) << config;
}

ProgramInstall::~ProgramInstall()
{
    // The program may hold its files for a moment after it has ended.
    std::error_code error;
    Eventually([&] { return fs::remove_all(root_, error) != static_cast<std::uintmax_t>(-1) && !error; }, 5000);
}

std::string ProgramInstall::Config() const
{
    std::ifstream in(folder_ / "CONFIG.INI", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---------------------------------------------------------------- bridge

BridgeStandIn::BridgeStandIn()
{
    // Held while the test runs: to the program the bridge is running.
    mutex_ = CreateMutexA(nullptr, FALSE, "NET_BRIDGE");
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        problem_ = "WSAStartup failed";
        return;
    }
    // Never inherited: a program started by the test must not hold the
    // port after the test has closed it.
    listener_ = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(698);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(listener_, 4) != 0)
        problem_ = "cannot listen on 127.0.0.1:698 (error " + std::to_string(WSAGetLastError()) + ")";
}

BridgeStandIn::~BridgeStandIn()
{
    if (peer_ != INVALID_SOCKET)
        closesocket(peer_);
    if (listener_ != INVALID_SOCKET)
        closesocket(listener_);
    WSACleanup();
    if (mutex_)
        CloseHandle(mutex_);
}

bool BridgeStandIn::FromProcess(SOCKET connection, DWORD processId)
{
    sockaddr_in peer{};
    int length = sizeof peer;
    if (getpeername(connection, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return true;
    std::vector<uint8_t> table(16384);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = DWORD(table.size());
        const DWORD rc = GetExtendedTcpTable(table.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0);
        if (rc == ERROR_INSUFFICIENT_BUFFER) {
            table.resize(size + 4096);
            continue;
        }
        if (rc != NO_ERROR)
            return true;
        const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
        for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
            const MIB_TCPROW_OWNER_PID& row = rows->table[i];
            // The client's end: its local port is the peer's port here.
            if (row.dwLocalPort == peer.sin_port && row.dwRemotePort == htons(698))
                return row.dwOwningPid == processId;
        }
        return true;
    }
    return true;
}

bool BridgeStandIn::Accept(DWORD processId, int timeoutMs)
{
    if (!problem_.empty())
        return false;
    const auto deadline = Deadline(timeoutMs);
    for (;;) {
        const int left = MsLeft(deadline);
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener_, &ready);
        timeval wait{left / 1000, (left % 1000) * 1000};
        if (left == 0 || select(0, &ready, nullptr, nullptr, &wait) != 1)
            return false;
        SOCKET connection = accept(listener_, nullptr, nullptr);
        if (connection == INVALID_SOCKET)
            continue;
        if (!FromProcess(connection, processId)) {
            closesocket(connection);
            continue;
        }
        SetHandleInformation(reinterpret_cast<HANDLE>(connection), HANDLE_FLAG_INHERIT, 0);
        peer_ = connection;
        peerClosed_ = false;
        pending_.clear();
        return true;
    }
}

bool BridgeStandIn::ReadSome(int timeoutMs)
{
    if (peer_ == INVALID_SOCKET || peerClosed_)
        return false;
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(peer_, &ready);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, &ready, nullptr, nullptr, &wait) != 1)
        return true;
    char buffer[4096];
    const int n = recv(peer_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        // Closed, or reset as the program closes its end.
        peerClosed_ = true;
        return false;
    }
    pending_.insert(pending_.end(), buffer, buffer + n);
    while (pending_.size() >= kRecordSize) {
        received_.push_back(RecordText(pending_.data()));
        pending_.erase(pending_.begin(), pending_.begin() + kRecordSize);
    }
    return true;
}

bool BridgeStandIn::WaitFor(const std::string& message, int timeoutMs)
{
    const auto deadline = Deadline(timeoutMs);
    std::size_t looked = 0;
    for (;;) {
        for (; looked < received_.size(); ++looked)
            if (received_[looked] == message)
                return true;
        const int left = MsLeft(deadline);
        if (left == 0 || !ReadSome(std::min(left, 200)))
            return std::find(received_.begin(), received_.end(), message) != received_.end();
    }
}

std::string BridgeStandIn::ReceivedText() const
{
    std::string text;
    for (const std::string& r : received_)
        text += "  " + r + "\n";
    return text.empty() ? "  (nothing)\n" : text;
}

bool BridgeStandIn::Send(const std::string& message)
{
    if (peer_ == INVALID_SOCKET)
        return false;
    const RecordBytes record = EncodeMessage(message);
    return send(peer_, reinterpret_cast<const char*>(record.data()), int(record.size()), 0) == int(record.size());
}

// ---------------------------------------------------------------- program

RunningProgram::RunningProgram(const ProgramInstall& install, const std::vector<std::string>& args,
                               const std::string& fakeChannel)
    : fakeChannel_(fakeChannel), output_(install.Folder().parent_path() / (UniqueName("output") + ".txt"))
{
    std::wstring commandLine = L"\"" + install.Program().wstring() + L"\"";
    for (const std::string& arg : args)
        commandLine += L" " + Wide(arg);
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = CreateFileW(output_.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    // The child inherits this process's environment, the variable with it.
    SetEnvironmentVariableA("ZRK_FAKE_PHIDGET21_CONTROL", fakeChannel.empty() ? nullptr : fakeChannel.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info{};
    const std::wstring folder = install.Folder().wstring();
    // Only the handles made inheritable above go to the child: the
    // bridge's sockets are not.
    if (CreateProcessW(install.Program().wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
    SetEnvironmentVariableA("ZRK_FAKE_PHIDGET21_CONTROL", nullptr);
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
}

std::string RunningProgram::Output() const
{
    std::ifstream in(output_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

RunningProgram::~RunningProgram()
{
    if (!process_)
        return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

bool RunningProgram::Running() { return process_ && !WaitForExit(0); }

bool RunningProgram::WaitForExit(int timeoutMs)
{
    if (!process_ || WaitForSingleObject(process_, DWORD(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    if (GetExitCodeProcess(process_, &code))
        exitCode_ = int(code);
    return true;
}

HWND RunningProgram::WaitForWindow(const char* windowClass, const std::wstring& title, int timeoutMs)
{
    const std::wstring wideClass = Wide(windowClass);
    WindowSearch search{id_, wideClass.c_str(), &title, nullptr};
    Eventually(
        [&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr || !Running();
        },
        timeoutMs);
    return search.found;
}

HWND RunningProgram::WaitForForm(const std::wstring& caption, int timeoutMs)
{
    return WaitForWindow("ZrkTqForm", caption, timeoutMs);
}

HWND RunningProgram::WaitForMessageBox(int timeoutMs) { return WaitForWindow("#32770", L"", timeoutMs); }

bool RunningProgram::MessageBoxGone(HWND box, int timeoutMs)
{
    return Eventually([&] { return !IsWindow(box); }, timeoutMs);
}

std::string RunningProgram::Windows()
{
    WindowListing listing{id_, ""};
    EnumWindows(ListWindow, reinterpret_cast<LPARAM>(&listing));
    return listing.text.empty() ? "  (none)\n" : listing.text;
}

bool RunningProgram::Boards(const std::string& command)
{
    HWND channel = nullptr;
    Eventually(
        [&] {
            channel = FindWindowA("ZrkFakePhidget21", fakeChannel_.c_str());
            return channel != nullptr || !Running();
        },
        kStartMs);
    if (!channel)
        return false;
    COPYDATASTRUCT data{};
    data.cbData = DWORD(command.size());
    data.lpData = const_cast<char*>(command.data());
    DWORD_PTR done = 0;
    return SendMessageTimeoutA(channel, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               kSendTimeoutMs, &done) != 0
           && done == 1;
}

std::wstring RunningProgram::Log()
{
    HWND main = WaitForForm(Wide(MainWindowLayout().caption), 0);
    HWND memo = main ? FindControl(main, "Form1", "Memo1") : nullptr;
    if (memo)
        lastLog_ = WindowText(memo);
    return lastLog_.empty() ? L"(no message log read)" : lastLog_;
}

bool RunningProgram::WaitForLog(const std::wstring& text, int timeoutMs)
{
    return Eventually([&] { return Log().find(text) != std::wstring::npos; }, timeoutMs);
}

// ---------------------------------------------------------------- controls

HWND FindControl(HWND form, int id)
{
    if (!form || id == 0)
        return nullptr;
    if (HWND direct = GetDlgItem(form, id))
        return direct;
    // Inside a panel of the form.
    ChildSearch search{id, nullptr};
    EnumChildWindows(form, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindControl(HWND form, const std::string& formName, const std::string& controlName)
{
    const FormDesign* design = FindFormLayout(formName);
    return design ? FindControl(form, ControlId(*design, controlName)) : nullptr;
}

std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length))
        return L"";
    std::wstring text(std::size_t(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()), &copied))
        return L"";
    text.resize(std::min<std::size_t>(std::size_t(copied), text.size()));
    return text;
}

std::wstring MessageBoxText(HWND box)
{
    // The message's static control has id 0xFFFF in a system message box.
    if (HWND text = GetDlgItem(box, 0xFFFF))
        return WindowText(text);
    return L"";
}

bool Checked(HWND button)
{
    DWORD_PTR state = 0;
    return Send(button, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

bool Click(HWND button) { return button && PostMessageW(button, BM_CLICK, 0, 0); }

bool Drag(HWND trackBar, int position)
{
    HWND parent = trackBar ? GetParent(trackBar) : nullptr;
    if (!parent)
        return false;
    const LPARAM from = reinterpret_cast<LPARAM>(trackBar);
    return Send(trackBar, TBM_SETPOS, TRUE, position)
           && Send(parent, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), from)
           && Send(parent, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), from)
           && Send(parent, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), from);
}

} // namespace zrk::test
