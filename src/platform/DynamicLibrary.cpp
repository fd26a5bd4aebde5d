// The choice of the board library the program drives its boards through.
#include <filesystem>
#include <system_error>

#include "boards/Phidget21Library.h"
#include "boards/VirtualBoards.h"
#include "platform/Platform.h"

namespace zrk {

namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

} // namespace

std::unique_ptr<IBoardLibrary> MakeBoardLibrary(IEventLoop& loop, bool virtualBoards,
                                                std::function<void(const std::string&)> log,
                                                const std::string& folder, const std::string& file) {
    auto say = [&](const std::string& line) {
        if (log) log(line);
    };
    if (virtualBoards) {
        say("Virtual boards chosen (--virtual-boards) - boards stay idle");
        return std::make_unique<VirtualBoardLibrary>(loop);
    }

    std::string whyNot;
    std::unique_ptr<IDynamicLibrary> library;
    // Beside the program first: an installation that brings its own copy
    // uses it whatever the system has.
    const std::string beside = folder + kSeparator + file;
    std::error_code error;
    if (std::filesystem::exists(beside, error)) {
        library = LoadDynamicLibrary(beside, &whyNot);
        // There, but not loadable: something it needs is missing.
        if (!library && whyNot.empty()) whyNot = "a library it needs is missing";
        if (!library) {
            say("Board library " + beside + " could not be loaded (" + whyNot + ") - boards stay idle");
            return std::make_unique<VirtualBoardLibrary>(loop);
        }
    } else {
        library = LoadDynamicLibrary(file, &whyNot);
    }
    if (!library) {
        if (whyNot.empty())
            say("Board library " + file + " not found (beside the program or on the system's library path)"
                " - boards stay idle");
        else
            say("Board library " + file + " could not be loaded (" + whyNot + ") - boards stay idle");
        return std::make_unique<VirtualBoardLibrary>(loop);
    }
    say("Board library " + library->Path() + " loaded");
    return std::make_unique<Phidget21BoardLibrary>(std::move(library), loop, std::move(log));
}

} // namespace zrk
