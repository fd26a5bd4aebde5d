#include "platform/win32/WinsockBridgeSocket.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/win32/Win32MessageWindow.h"

namespace zrk {

namespace {

// Messages to the socket's own window.
constexpr UINT kDataAgainMessage = WM_APP + 1;       // PostDataAvailable
constexpr UINT kAttemptEndedMessage = WM_APP + 2;    // wParam generation, lParam error
// The socket reports on one of these, a different one for each connection.
constexpr UINT kSocketMessageBase = WM_APP + 0x100;
constexpr UINT kSocketMessageCount = 64;

// Passes, when the peer has closed, of handing the reader bytes that were
// still unread: each pass must take some, and the receive buffer holds a
// few hundred records at most, so this bound is never the one that stops.
constexpr int kMaxPassesAtClose = 4096;

const wchar_t kWindowClass[] = L"ZrkWinsockBridgeSocket";

// Calls a copy of the callback: the handler may destroy the socket, and
// with it the callback object itself, while it runs.
template <class Fn, class... Args>
void Raise(const Fn& fn, Args... args)
{
    if (!fn)
        return;
    Fn call = fn;
    call(args...);
}

} // namespace

struct WinsockBridgeSocketWindow {
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = MessageWindowOwner<WinsockBridgeSocket>(window);
        if (self != nullptr && message >= WM_APP) {
            // Nothing may touch the window or the object after this: a
            // callback may have destroyed both.
            self->OnWindowMessage(message, wParam, lParam);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

WinsockBridgeSocket::WinsockBridgeSocket() : socket_(INVALID_SOCKET)
{
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    window_ = CreateMessageWindow(kWindowClass, &WinsockBridgeSocketWindow::Procedure, this);
}

WinsockBridgeSocket::~WinsockBridgeSocket()
{
    *alive_ = false;
    Drop();
    DestroyMessageWindow(static_cast<HWND>(window_));
    window_ = nullptr;
    if (winsockStarted_)
        WSACleanup();
}

void WinsockBridgeSocket::CloseSocket()
{
    if (socket_ == INVALID_SOCKET)
        return;
    const SOCKET s = static_cast<SOCKET>(socket_);
    WSAAsyncSelect(s, static_cast<HWND>(window_), 0, 0);
    // Linger 0: the connection is reset, unsent bytes are dropped.
    closesocket(s);
    socket_ = INVALID_SOCKET;
}

void WinsockBridgeSocket::Drop()
{
    ++generation_;
    CloseSocket();
    state_ = State::Closed;
    outgoing_.clear();
    outgoing_.shrink_to_fit();
}

void WinsockBridgeSocket::Close()
{
    // Closing on our own side raises no closed event.
    Drop();
}

void WinsockBridgeSocket::PostAttemptEnd(int error)
{
    // Reported from the message loop, as every outcome is: the caller of
    // Connect does not expect its callbacks to run inside it. Should the
    // message queue be full, the attempt stays open until the channel's
    // watchdog abandons it.
    PostMessageW(static_cast<HWND>(window_), kAttemptEndedMessage, WPARAM(generation_), LPARAM(error));
}

void WinsockBridgeSocket::Connect(const std::string& host, uint16_t port)
{
    Drop();
    if (!Ready())
        return;
    state_ = State::Connecting;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    // Resolving a name may wait on the resolver; the bridge's address is a
    // number or "localhost" in practice.
    const int resolved = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (resolved != 0 || found == nullptr) {
        if (found != nullptr)
            freeaddrinfo(found);
        PostAttemptEnd(resolved != 0 ? resolved : WSAHOST_NOT_FOUND);
        return;
    }
    sockaddr_in address{};
    std::copy_n(reinterpret_cast<const char*>(found->ai_addr),
                std::min<std::size_t>(found->ai_addrlen, sizeof address), reinterpret_cast<char*>(&address));
    freeaddrinfo(found);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);

    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        PostAttemptEnd(WSAGetLastError());
        return;
    }
    socket_ = s;
    // Options before connecting: the receive buffer's size decides the
    // window the connection announces.
    const int receiveBuffer = kReceiveBufferSize;
    const BOOL on = TRUE;
    linger resetOnClose{};
    resetOnClose.l_onoff = 1;
    resetOnClose.l_linger = 0;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&resetOnClose), sizeof resetOnClose);

    // Also makes the socket non-blocking.
    socketMessage_ = kSocketMessageBase + generation_ % kSocketMessageCount;
    if (WSAAsyncSelect(s, static_cast<HWND>(window_), socketMessage_, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        const int error = WSAGetLastError();
        CloseSocket();
        PostAttemptEnd(error);
        return;
    }
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        // Connected at once. Winsock may report it as well; whichever
        // report comes first ends the attempt.
        PostAttemptEnd(0);
        return;
    }
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK)
        return;   // under way: the connect event tells how it ends
    CloseSocket();
    PostAttemptEnd(error);
}

bool WinsockBridgeSocket::Send(const uint8_t* data, std::size_t size)
{
    if (state_ != State::Connected)
        return false;
    if (size > kMaxQueuedBytes - outgoing_.size())
        return false;
    // Sends until the system takes no more: Winsock reports that it can
    // write again only after a send has failed for want of room, not after
    // one that took part of the bytes.
    while (outgoing_.empty() && size > 0) {
        const int n = send(static_cast<SOCKET>(socket_), reinterpret_cast<const char*>(data), int(size), 0);
        if (n == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                return false;   // the close event follows
            break;
        }
        data += n;
        size -= std::size_t(n);
    }
    outgoing_.insert(outgoing_.end(), data, data + size);
    return true;
}

void WinsockBridgeSocket::SendQueued()
{
    while (!outgoing_.empty() && state_ == State::Connected) {
        const int n = send(static_cast<SOCKET>(socket_), reinterpret_cast<const char*>(outgoing_.data()),
                           int(outgoing_.size()), 0);
        if (n == SOCKET_ERROR)
            return;   // full again: the next write event resumes; or failed: the close event follows
        outgoing_.erase(outgoing_.begin(), outgoing_.begin() + n);
    }
}

long WinsockBridgeSocket::Receive(uint8_t* buffer, std::size_t max)
{
    if (state_ != State::Connected)
        return -1;
    if (max == 0)
        return 0;
    const int n = recv(static_cast<SOCKET>(socket_), reinterpret_cast<char*>(buffer),
                       int(std::min<std::size_t>(max, INT_MAX)), 0);
    if (n >= 0)
        return n;   // 0: the peer has closed; its close event follows
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

std::size_t WinsockBridgeSocket::Unread() const
{
    if (socket_ == INVALID_SOCKET)
        return 0;
    u_long n = 0;
    if (ioctlsocket(static_cast<SOCKET>(socket_), FIONREAD, &n) != 0)
        return 0;
    return n;
}

void WinsockBridgeSocket::PostDataAvailable()
{
    // Winsock announces bytes again only after a read, so a reader that
    // stopped early is called back through the window. The request is tied
    // to the window: it goes with the socket.
    if (dataEventPosted_ || window_ == nullptr)
        return;
    dataEventPosted_ = PostMessageW(static_cast<HWND>(window_), kDataAgainMessage, 0, 0) != 0;
}

void WinsockBridgeSocket::OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    if (message == kDataAgainMessage) {
        dataEventPosted_ = false;
        if (state_ == State::Connected && Unread() > 0)
            Raise(OnDataAvailable);
        return;
    }
    if (message == kAttemptEndedMessage) {
        if (wParam == generation_ && state_ == State::Connecting)
            FinishAttempt(int(lParam));
        return;
    }
    if (message >= kSocketMessageBase && message < kSocketMessageBase + kSocketMessageCount) {
        // Reports of an earlier socket are dropped.
        if (message != socketMessage_ || socket_ == INVALID_SOCKET || wParam != socket_)
            return;
        OnSocketEvent(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
    }
}

void WinsockBridgeSocket::OnSocketEvent(unsigned event, int error)
{
    switch (event) {
    case FD_CONNECT:
        if (state_ == State::Connecting)
            FinishAttempt(error);
        break;
    case FD_READ:
        // Winsock posts this again after every read that leaves bytes
        // behind; a reader that already took them all is not called for
        // nothing (and, not reading, does not re-arm the report).
        if (state_ == State::Connected && Unread() > 0)
            Raise(OnDataAvailable);
        break;
    case FD_WRITE: {
        // Room again: what waited here goes on, and then whoever was
        // refused may send again.
        const std::size_t before = outgoing_.size();
        SendQueued();
        if (state_ == State::Connected && outgoing_.size() < before)
            Raise(OnWritable);
        break;
    }
    case FD_CLOSE:
        if (state_ == State::Connecting)
            FinishAttempt(error != 0 ? error : WSAECONNRESET);
        else if (state_ == State::Connected)
            OnPeerClosed();
        break;
    default:
        break;
    }
}

void WinsockBridgeSocket::FinishAttempt(int error)
{
    if (error == 0) {
        state_ = State::Connected;
        Raise(OnConnected, 0);
        return;
    }
    // A failed attempt reports itself as a connection event with an error
    // only, as in the Qt adapter: the socket was never connected, so it
    // raises no closed event.
    Drop();
    Raise(OnConnected, error);
}

void WinsockBridgeSocket::OnPeerClosed()
{
    // Bytes the peer sent before closing are still in the receive buffer:
    // the reader gets them first (a quit order is typically the last thing
    // the bridge sends), as long as it keeps taking some.
    const std::shared_ptr<bool> alive = alive_;
    const unsigned generation = generation_;
    for (int pass = 0; pass < kMaxPassesAtClose; ++pass) {
        const std::size_t before = Unread();
        if (before == 0 || !OnDataAvailable)
            break;
        Raise(OnDataAvailable);
        if (!*alive || generation != generation_)
            return;   // destroyed, closed or reconnected by the reader
        if (Unread() >= before)
            break;
    }
    Drop();
    Raise(OnClosed);
}

} // namespace zrk
