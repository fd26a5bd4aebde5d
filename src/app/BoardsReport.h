#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "boards/BoardManager.h"
#include "boards/BoardMatch.h"
#include "config/FileSystem.h"
#include "config/Settings.h"

namespace zrk {

// How long `zrk-tq --boards` lets the board library find its boards
// before it prints: the library reports the boards plugged in one by one,
// shortly after its manager opens.
inline constexpr uint32_t kBoardsReportWaitMs = 1500;

// The settings the report matches against: CONFIG.INI at `path` read as
// the program reads it at start (every key, the 747's too); a missing or
// refused file gives the defaults, as the program then runs on them.
Settings ReadBoardSettings(IFileSystem& files, const std::string& path);

// The lines `zrk-tq --boards` prints: a count, then one line per attached
// board (serial, kind, name and version, and the role it fills or
// "unassigned"), then one line per role that is missing or holds the wrong
// kind of board, or a line saying every configured board is there.
std::vector<std::string> BoardsReportLines(const BoardsMatch& match);
// The same for what `manager` lists now, each line ending in "\n"; one
// line saying so when the board library cannot list its boards.
std::string BoardsReport(const IBoardManager& manager, const Settings& s);

} // namespace zrk
