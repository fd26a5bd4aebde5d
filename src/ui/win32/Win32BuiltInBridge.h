#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/UpdateRecord.h"

namespace zrk {

// A stand-in for the bridge program on loopback, for the demo cockpit: it
// accepts the controller's connections and hands every record it receives
// on as "NAME=VALUE". It sends nothing. Winsock in its message-driven form:
// the sockets report to a hidden message-only window of its own, so the
// callback runs on the creating thread, inside its message loop.
class Win32BuiltInBridge {
public:
    // Connections served at once; further ones are closed on arrival.
    static constexpr std::size_t kMaxConnections = 8;
    // Reads per read event at most; Winsock reports again for the rest.
    static constexpr int kMaxReadsPerEvent = 64;

    explicit Win32BuiltInBridge(std::function<void(const std::string&)> onMessage);
    ~Win32BuiltInBridge();
    Win32BuiltInBridge(const Win32BuiltInBridge&) = delete;
    Win32BuiltInBridge& operator=(const Win32BuiltInBridge&) = delete;

    // Listens on 127.0.0.1, on `preferred` when it is free, else on a port
    // the system chooses. Returns the port, 0 when nothing could be bound.
    // Listening already, it returns the port it listens on.
    uint16_t Listen(uint16_t preferred);

    // Connections open now.
    std::size_t Connections() const { return connections_.size(); }

private:
    friend struct Win32BuiltInBridgeWindow;
    struct Connection {
        uintptr_t socket;   // SOCKET
        // Bytes of a record not complete yet; never more than one record.
        RecordBytes pending{};
        std::size_t held = 0;
    };

    void OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
    bool TryListen(uint16_t port);
    void Accept();
    void Read(uintptr_t socket, int maxReads);
    void Drop(uintptr_t socket);

    std::function<void(const std::string&)> onMessage_;
    void* window_ = nullptr;   // HWND
    bool winsockStarted_ = false;
    uintptr_t listener_;   // SOCKET, INVALID_SOCKET when not listening
    uint16_t port_ = 0;
    std::vector<Connection> connections_;
    // False once the object is being destroyed (the callback may do it).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace zrk
