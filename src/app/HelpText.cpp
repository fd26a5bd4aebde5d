#include "app/HelpText.h"

#include "app/TForm1.h"

namespace zrk {

HelpBox AboutBox()
{
    // Paragraphs, which the message box wraps to its own width.
    std::string text;
    text += std::string(kProgramName) + "\n";
    text += std::string("Version ") + kVersion + "\n\n";
    text += "Copyright (c) 2026 the ZRK Throttle and Trim Controller developers. All rights reserved.\n\n";
    text += "Provided \"as is\", without warranty of any kind; the authors are not liable for any claim or damages "
            "arising from its use. The motors it drives move levers and wheels with force: keep hands clear while "
            "testing them, and keep a way to cut their power within reach.\n\n";
    text += "The whole licence is in LICENSE.txt beside zrk-tq.exe (the Windows package) and in LICENSE at the top "
            "of the source tree.";
    return {std::string("About ") + kProgramName, text};
}

std::vector<std::string> FirstStartSteps(const std::string& configPath)
{
    return {
        "Install the board maker's library: phidget21.dll (32-bit) on Windows, beside the program or in the "
        "system folder; libphidget21.so.0 on Linux. Without it the boards stay idle.",
        "On Windows, install the simulator's interface module, and put the program in a folder of its own beside "
        "the bridge's, so that the bridge is ..\\NET_BRIDGE (with its PANELBUS.dll and Config.ini).",
        "Settings: " + configPath + " (Help > Open Settings Folder). The first start writes the default file.",
        "Choose the aircraft type (777, 737, 747) on the main window.",
        "Calibrate: \"Calibrate Throttles\", \"Calibrate Reversers\", \"Calibrate Flaps\" and \"Calibrate "
        "Speedbrake Arm\" each open a dialog. Move the lever to each position and press its Set button, then "
        "CLOSE.",
        "The Test Panel: \"PH Raw\" shows each lever's reading. Mode \"TEST FS\" sends the sliders to the simulator; "
        "\"TEST  MOTORS\" drives the lever motors from them (keep hands clear). Go back to \"AUTOMATIC\".",
        "Save: \"Save Config\", or \"Yes\" to \"Save Calibration Changes ?\" on closing.",
        "The bridge: the program starts ..\\NET_BRIDGE\\NET_BRIDGE.EXE when it is not running and connects to "
        "the address in the bridge's Config.ini (127.0.0.1 when there is none), port 698. The status bar then "
        "shows \"Bridge Connected\".",
    };
}

HelpBox FirstStartBox(const std::string& configPath)
{
    std::string text;
    int n = 0;
    for (const std::string& step : FirstStartSteps(configPath)) {
        if (n > 0)
            text += "\n\n";
        text += std::to_string(++n) + ". " + step;
    }
    return {"First Start", text};
}

std::string SettingsFolder(const std::string& path)
{
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos)
        return ".";
    // A file at a root keeps the root's separator ("/", "C:\").
    if (cut == 0 || (cut == 2 && path[1] == ':'))
        return path.substr(0, cut + 1);
    return path.substr(0, cut);
}

std::string FolderNotOpenedText(const std::string& folder)
{
    return "The settings folder " + folder + " could not be opened in the file manager";
}

} // namespace zrk
