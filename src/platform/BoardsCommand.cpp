#include "platform/BoardsCommand.h"

#include <cstdio>
#include <vector>

#include "app/BoardsReport.h"
#include "boards/BoardManager.h"
#include "boards/VirtualBoards.h"
#include "config/FileSystem.h"
#include "platform/Platform.h"

namespace zrk {

int RunBoardsCommand(IEventLoop& loop, const std::function<void(uint32_t ms)>& runEventsFor, IFileSystem& files,
                     const std::string& folder)
{
    std::vector<std::string> said;
    const std::unique_ptr<IBoardLibrary> library =
        MakeBoardLibrary(loop, false, [&said](const std::string& line) { said.push_back(line); }, folder);
    // Without the maker's library the program runs on boards that never
    // attach: there is nothing to ask.
    if (!library || dynamic_cast<VirtualBoardLibrary*>(library.get())) {
        std::fprintf(stderr, "zrk-tq: %s\n",
                     said.empty() ? "the board library cannot be loaded: no boards can be listed" : said.front().c_str());
        return 1;
    }
    const std::unique_ptr<IBoardManager> manager = library->CreateManager();
    if (!manager || !manager->Available()) {
        std::fprintf(stderr, "zrk-tq: the board library cannot list its boards: no boards can be listed\n");
        return 1;
    }
    runEventsFor(kBoardsReportWaitMs);
    const Settings settings = ReadBoardSettings(files, JoinPath(folder, "CONFIG.INI"));
    const std::string report = BoardsReport(*manager, settings);
    std::fputs(report.c_str(), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace zrk
