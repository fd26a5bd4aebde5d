#pragma once
#include <string>

#include "ports/EventLoop.h"

namespace zrk {

// Where the controller announces each event it handles that no port
// delivers: its timers, the user's actions on the window and its dialogs,
// and the steps of its life. A session recorder listens here; without one
// (the usual case) nothing is announced.
class ISessionTap {
public:
    virtual ~ISessionTap() = default;
    virtual void TimerEvent(TimerId id) = 0;
    // An action as text: "click Button10", "trackbar 3 500", "updown UpDown1 4",
    // "edit p_pid_p 0.5", "check manual_override 1", "radio mode 2".
    virtual void UserAction(const std::string& action) = 0;
    enum class Life { Create = 0, CloseQuery = 1, Close = 2, Destroy = 3 };
    virtual void Lifecycle(Life step) = 0;
};

} // namespace zrk
