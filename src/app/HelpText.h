#pragma once
#include <string>
#include <vector>

namespace zrk {

// The texts of the main window's Help menu, the same in every renderer.

inline constexpr const char* kProgramName = "ZRK Throttle and Trim Controller";

// A box of text: its window title and its text, lines separated by '\n'.
struct HelpBox {
    std::string title;
    std::string text;
};

// The program's name, version and licence in short, and where the whole
// licence is.
HelpBox AboutBox();

// The steps of a first start, one a line, for the CONFIG.INI at
// `configPath` (the one in use: the demo's in the virtual cockpit).
std::vector<std::string> FirstStartSteps(const std::string& configPath);
HelpBox FirstStartBox(const std::string& configPath);

// The folder that holds the file at `path`: everything before its last
// '/' or '\\' ("C:\\" and "/" for a file at a root), "." for a bare name.
std::string SettingsFolder(const std::string& path);

// The log line when the file manager could not be asked to open `folder`.
std::string FolderNotOpenedText(const std::string& folder);

} // namespace zrk
