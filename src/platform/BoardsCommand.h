#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "ports/EventLoop.h"

namespace zrk {

class IFileSystem;

// `zrk-tq --boards`: loads the board maker's library from `folder` (or the
// system), lets it find the boards plugged in for a moment (the host runs
// its event loop for the time given), and writes to standard output what
// it found and how that matches the CONFIG.INI in `folder`. Returns the
// exit code: 0, or 1 with one line on standard error when there is no
// board library to ask.
int RunBoardsCommand(IEventLoop& loop, const std::function<void(uint32_t ms)>& runEventsFor, IFileSystem& files,
                     const std::string& folder);

} // namespace zrk
