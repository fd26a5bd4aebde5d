#include "ui/win32/Win32BuiltInBridge.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/win32/Win32MessageWindow.h"

namespace zrk {

namespace {

constexpr UINT kListenerMessage = WM_APP + 1;
constexpr UINT kConnectionMessage = WM_APP + 2;

const wchar_t kWindowClass[] = L"ZrkBuiltInBridge";

} // namespace

struct Win32BuiltInBridgeWindow {
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = MessageWindowOwner<Win32BuiltInBridge>(window);
        if (self != nullptr && message >= WM_APP) {
            // Nothing may touch the window after this: the callback may
            // have destroyed it with the bridge.
            self->OnWindowMessage(message, wParam, lParam);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

Win32BuiltInBridge::Win32BuiltInBridge(std::function<void(const std::string&)> onMessage)
    : onMessage_(std::move(onMessage)), listener_(INVALID_SOCKET)
{
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    window_ = CreateMessageWindow(kWindowClass, &Win32BuiltInBridgeWindow::Procedure, this);
}

Win32BuiltInBridge::~Win32BuiltInBridge()
{
    *alive_ = false;
    while (!connections_.empty())
        Drop(connections_.back().socket);
    if (listener_ != INVALID_SOCKET)
        closesocket(static_cast<SOCKET>(listener_));
    DestroyMessageWindow(static_cast<HWND>(window_));
    if (winsockStarted_)
        WSACleanup();
}

uint16_t Win32BuiltInBridge::Listen(uint16_t preferred)
{
    if (listener_ != INVALID_SOCKET)
        return port_;
    if (window_ == nullptr || !winsockStarted_)
        return 0;
    if (TryListen(preferred) || (preferred != 0 && TryListen(0)))
        return port_;
    return 0;
}

bool Win32BuiltInBridge::TryListen(uint16_t port)
{
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return false;
    // A port another program listens on is not shared, whatever options
    // that program chose.
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int length = sizeof address;
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, SOMAXCONN) != 0 ||
        WSAAsyncSelect(s, static_cast<HWND>(window_), kListenerMessage, FD_ACCEPT) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return false;
    }
    listener_ = s;
    port_ = ntohs(address.sin_port);
    return true;
}

void Win32BuiltInBridge::OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    const unsigned event = WSAGETSELECTEVENT(lParam);
    if (message == kListenerMessage) {
        if (wParam == listener_ && event == FD_ACCEPT)
            Accept();
        return;
    }
    if (message != kConnectionMessage)
        return;
    if (event == FD_READ) {
        Read(wParam, kMaxReadsPerEvent);
    } else if (event == FD_CLOSE) {
        // The peer sends nothing more: what it sent before is read to the
        // end, and the end closes the connection. A late report of an
        // earlier socket whose handle was given again finds the new one
        // open and leaves it so.
        Read(wParam, INT_MAX);
    }
}

void Win32BuiltInBridge::Accept()
{
    for (;;) {
        const SOCKET s = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
        if (s == INVALID_SOCKET)
            return;   // none waiting any more
        if (connections_.size() >= kMaxConnections ||
            WSAAsyncSelect(s, static_cast<HWND>(window_), kConnectionMessage, FD_READ | FD_CLOSE) != 0) {
            closesocket(s);
            continue;
        }
        connections_.push_back(Connection{uintptr_t(s)});
    }
}

void Win32BuiltInBridge::Read(uintptr_t socket, int maxReads)
{
    const std::shared_ptr<bool> alive = alive_;
    for (int reads = 0; reads < maxReads; ++reads) {
        const auto found = std::find_if(connections_.begin(), connections_.end(),
                                        [socket](const Connection& c) { return c.socket == socket; });
        if (found == connections_.end())
            return;
        Connection& c = *found;
        const int n = recv(static_cast<SOCKET>(socket), reinterpret_cast<char*>(c.pending.data() + c.held),
                           int(kRecordSize - c.held), 0);
        if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
            Drop(socket);   // closed or failed
            return;
        }
        if (n < 0)
            return;   // nothing more waiting
        c.held += std::size_t(n);
        if (c.held < kRecordSize)
            continue;
        c.held = 0;
        const std::string text = RecordText(c.pending.data());
        if (onMessage_) {
            const auto call = onMessage_;
            call(text);
            if (!*alive)
                return;
        }
    }
}

void Win32BuiltInBridge::Drop(uintptr_t socket)
{
    const auto found = std::find_if(connections_.begin(), connections_.end(),
                                    [socket](const Connection& c) { return c.socket == socket; });
    if (found == connections_.end())
        return;
    WSAAsyncSelect(static_cast<SOCKET>(socket), static_cast<HWND>(window_), 0, 0);
    closesocket(static_cast<SOCKET>(socket));
    connections_.erase(found);
}

} // namespace zrk
