#pragma once
#include <QTcpServer>
#include <functional>
#include <string>

namespace zrk {

// A stand-in for the bridge program on loopback, for the demo cockpit: it
// accepts the controller's connections and hands every record it receives
// on as "NAME=VALUE". It sends nothing.
class BuiltInBridge : public QObject {
public:
    explicit BuiltInBridge(std::function<void(const std::string&)> onMessage);

    // Listens on 127.0.0.1, on `preferred` when it is free, else on a port
    // the system chooses. Returns the port, 0 when nothing could be bound.
    uint16_t Listen(uint16_t preferred);

private:
    void Accept();

    QTcpServer server_;
    std::function<void(const std::string&)> onMessage_;
};

} // namespace zrk
