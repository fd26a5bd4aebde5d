// The Windows program end to end: zrk-tq.exe started from a fresh
// installation, with the fake board library as its phidget21.dll, the
// bridge's data library stand-in, the simulator-module stand-in server and
// this test as the bridge on 127.0.0.1:698. The window is driven from
// outside through its controls' ids, as a user's clicks and drags would
// drive it; what the program does shows where it goes: the simulator's
// offset space, the bridge's records, CONFIG.INI, the message log.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

// First: it brings winsock2.h, which must come before windows.h.
#include "ProgramRig.h"

#include "FsuipcServer.h"
#include "TestProcess.h"
#include "app/WindowLayout.h"
#include "ui/win32/Win32FormRenderer.h"

namespace zrk::test {
namespace {

// The main card is board 100: throttle 1 on its input 0 and throttle 2 on
// input 1, both calibrated 100 (idle) to 900 (full): a reading of 500 is
// half thrust, sent as 8192.
const char* const kConfig =
    "[AIRCRAFT]\r\nTYPE=777\r\n\r\n"
    "[PHIDGETS_SERIAL_NUMBERS]\r\nINTERFACE1=100\r\n\r\n"
    "[THROTTLES]\r\nTHROTTLE_1_IDLE=100\r\nTHROTTLE_1_FULL=900\r\n"
    "THROTTLE_2_IDLE=100\r\nTHROTTLE_2_FULL=900\r\nCHANGE_TRIGGER_VALUE=3\r\n";
constexpr uint32_t kThrottle1Offset = 0x52FA;
constexpr uint32_t kThrottle2Offset = 0x52FC;
constexpr uint32_t kHalfThrust = 8192;

const std::wstring kMainCaption = L"ZRK Throttle and Trim Controller";

// The application manifest built into the program beside this test.
std::string ProgramManifest()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path program = std::filesystem::path(self).parent_path() / "zrk-tq.exe";
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return "<" + program.string() + " not loaded>";
    std::string text = "<no manifest>";
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const HGLOBAL data = LoadResource(module, found);
        const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
        if (bytes)
            text.assign(bytes, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

TEST(ProgramManifestTest, DeclaresPerMonitorDpiAwarenessBesideItsExecutionLevelAndSystems)
{
    const std::string manifest = ProgramManifest();
    const char* const entries[] = {
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor<",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm<",
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",   // Windows 10 and 11
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",   // Windows 7
    };
    for (const char* entry : entries)
        EXPECT_NE(manifest.find(entry), std::string::npos) << entry << "\nin: " << manifest;
}

// Everything the program needs around it, the program started last; the
// test ends it by force if it is still running at the end.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(install.Problem(), "");
        if (!bridge.Problem().empty())
            GTEST_SKIP() << bridge.Problem();
        ASSERT_NE(server.Window(), nullptr) << "the simulator-module stand-in did not come up";
    }

    // Starts the program and waits until it has connected to the bridge:
    // its start-up is then done.
    void Start(const std::vector<std::string>& args = {})
    {
        program = std::make_unique<RunningProgram>(install, args, fakeChannel);
        ASSERT_TRUE(program->Started()) << "zrk-tq.exe could not be started";
        ASSERT_TRUE(bridge.Accept(program->Id(), kStartMs)) << "the program did not connect to the bridge" << Trace();
        ASSERT_TRUE(bridge.WaitFor("ZRK_TQ_CONNECTED=1", kReactMs)) << Trace();
    }

    HWND MainWindow()
    {
        HWND main = program->WaitForForm(kMainCaption);
        EXPECT_NE(main, nullptr) << "no main window" << Trace();
        return main;
    }

    // The message log and the records received so far, for failure reports.
    std::string Trace()
    {
        std::string text = "\n---- message log:\n" + (program ? Narrow(program->Log()) : std::string("(not started)"));
        text += "\n---- received by the bridge:\n" + bridge.ReceivedText();
        if (program) {
            text += "---- top-level windows:\n" + program->Windows();
            text += "---- standard output and error:\n" + program->Output();
        }
        return text;
    }

    // The radio button of `item` in the main window's group `group`.
    HWND RadioItem(HWND main, const std::string& group, const std::string& item)
    {
        const ControlDesign* design = MainWindowLayout().Find(group);
        if (!design)
            return nullptr;
        for (std::size_t i = 0; i < design->items.size(); ++i)
            if (design->items[i] == item)
                return FindControl(main, RadioItemId(ControlId(MainWindowLayout(), group), int(i)));
        return nullptr;
    }

    // Answers the save question that the program shows now, over its
    // main window.
    void Answer(HWND main, int button, const std::string& what)
    {
        HWND box = program->WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "no question before " << what << Trace();
        EXPECT_EQ(GetWindow(box, GW_OWNER), main);
        // The box's window comes before its buttons and text: answered
        // once it is shown.
        EXPECT_TRUE(Eventually([&] { return IsWindowVisible(box) && GetDlgItem(box, button); }, kReactMs));
        EXPECT_EQ(MessageBoxText(box), L"Save Calibration Changes ?");
        ASSERT_TRUE(Click(GetDlgItem(box, button)));
        EXPECT_TRUE(program->MessageBoxGone(box)) << "the question stayed after the answer";
    }

    ProgramInstall install{kConfig};
    FsuipcServer server;
    BridgeStandIn bridge;
    const std::string fakeChannel = UniqueName("zrk_fake_boards");
    std::unique_ptr<RunningProgram> program;
};

// The window's own controls: the test panel's slider in mode TEST FS
// commands a throttle, a calibration capture goes to CONFIG.INI through
// "Save Config", and closing the window after a change asks first.
TEST_F(ProgramTest, TheWindowsControlsCommandCalibrateSaveAndAskBeforeClosing)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND main = MainWindow();
    ASSERT_NE(main, nullptr);

    // TEST FS: the slider's position is handled as throttle 2's reading.
    HWND testFs = RadioItem(main, "mode", "TEST FS");
    ASSERT_NE(testFs, nullptr) << "no radio button TEST FS";
    ASSERT_TRUE(Click(testFs));
    HWND slider = FindControl(main, "Form1", "TrackBar2");
    ASSERT_NE(slider, nullptr);
    EXPECT_TRUE(Eventually([&] { return Checked(testFs); }, kReactMs));
    ASSERT_TRUE(Drag(slider, 500));
    EXPECT_TRUE(Eventually([&] { return server.Peek(kThrottle2Offset, 2) == kHalfThrust; }, kReactMs))
        << "the simulator holds " << server.Peek(kThrottle2Offset, 2) << " for throttle 2" << Trace();

    // The throttles' IDLE capture takes the sliders' positions; "Save
    // Config" asks, and writes them when answered "Yes".
    ASSERT_TRUE(Click(FindControl(main, "Form1", "Button4")));
    HWND dialog = program->WaitForForm(L"Throttle Calibration", kReactMs);
    ASSERT_NE(dialog, nullptr) << "no throttle calibration window" << Trace();
    ASSERT_TRUE(Eventually([&] { return IsWindowVisible(dialog); }, kReactMs))
        << "the throttle calibration did not open" << Trace();
    ASSERT_TRUE(Click(FindControl(dialog, "Form2", "Button2")));
    ASSERT_TRUE(Click(FindControl(dialog, "Form2", "Button3")));
    EXPECT_TRUE(Eventually([&] { return !IsWindowVisible(dialog); }, kReactMs))
        << "the throttle calibration stayed open after CLOSE" << Trace();
    ASSERT_TRUE(Click(FindControl(main, "Form1", "Button10")));
    ASSERT_NO_FATAL_FAILURE(Answer(main, IDYES, "saving"));
    EXPECT_TRUE(Eventually([&] { return install.Config().find("THROTTLE_2_IDLE=500\r\n") != std::string::npos; },
                           kReactMs))
        << "CONFIG.INI after saving:\n" << install.Config() << Trace();
    const std::string saved = install.Config();
    EXPECT_NE(saved.find("THROTTLE_2_FULL=900\r\n"), std::string::npos) << saved;

    // A change of mode is a change: closing asks; "No" ends the program
    // with the file as saved.
    ASSERT_TRUE(Click(RadioItem(main, "mode", "AUTOMATIC")));
    EXPECT_TRUE(Eventually([&] { return !Checked(testFs); }, kReactMs));
    ASSERT_TRUE(PostMessageW(main, WM_CLOSE, 0, 0));
    ASSERT_NO_FATAL_FAILURE(Answer(main, IDNO, "closing"));
    ASSERT_TRUE(program->WaitForExit(kReactMs)) << "still running after the answer" << Trace();
    EXPECT_EQ(program->ExitCode(), 0);
    EXPECT_EQ(install.Config(), saved);
    // Signed off before the connection closed.
    EXPECT_TRUE(bridge.WaitFor("ZRK_TQ_CONNECTED=0", kReactMs)) << Trace();
}

// The boards' side: a board attaches and is logged, a lever's reading
// reaches the simulator, a switch reaches the bridge, and the bridge's
// quit order ends the program.
TEST_F(ProgramTest, ABoardsLeverAndSwitchReachTheSimulatorAndTheBridgeUntilTheQuitOrder)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(MainWindow(), nullptr);
    EXPECT_TRUE(program->WaitForLog(L"Waiting for Devices to Connect...")) << Trace();

    ASSERT_TRUE(program->Boards("plug kit 100")) << Trace();
    ASSERT_TRUE(program->WaitForLog(L"Phidget InterfaceKit 8/8/8 Connected. Serial #100")) << Trace();

    ASSERT_TRUE(program->Boards("sensor 100 0 500"));
    EXPECT_TRUE(Eventually([&] { return server.Peek(kThrottle1Offset, 2) == kHalfThrust; }, kReactMs))
        << "the simulator holds " << server.Peek(kThrottle1Offset, 2) << " for throttle 1" << Trace();

    // Input 2 of the main card is the left stabiliser trim cut-off switch.
    ASSERT_TRUE(program->Boards("input 100 2 1"));
    EXPECT_TRUE(bridge.WaitFor("STAB_TRIM_CUTOFF_L=1", kReactMs)) << Trace();
    ASSERT_TRUE(program->Boards("input 100 2 0"));
    EXPECT_TRUE(bridge.WaitFor("STAB_TRIM_CUTOFF_L=0", kReactMs)) << Trace();

    ASSERT_TRUE(bridge.Send("KILL_TQ_CONTROLLER=1"));
    ASSERT_TRUE(program->WaitForExit(kReactMs)) << "still running after the quit order" << Trace();
    EXPECT_EQ(program->ExitCode(), 0);
}

// Without a window the same controller logs to standard output: the
// board's attach line comes there as it is logged, no form window is made,
// and the quit order ends the program too. A switch of another program's
// (a launcher's "/autostart") is ignored, and the log says so.
TEST_F(ProgramTest, HeadlessTheLogGoesToStandardOutputAndTheQuitOrderEndsIt)
{
    ASSERT_NO_FATAL_FAILURE(Start({"--headless", "/autostart"}));
    ASSERT_TRUE(program->Boards("plug kit 100")) << Trace();
    EXPECT_TRUE(Eventually(
        [&] { return program->Output().find("Phidget InterfaceKit 8/8/8 Connected. Serial #100") != std::string::npos; },
        kReactMs))
        << Trace();
    EXPECT_NE(program->Output().find("Version : "), std::string::npos) << Trace();
    EXPECT_NE(program->Output().find("Ignoring unknown command-line argument \"/autostart\""), std::string::npos)
        << Trace();
    EXPECT_EQ(program->WaitForForm(L"", 0), nullptr) << Trace();

    ASSERT_TRUE(program->Boards("input 100 2 1"));
    EXPECT_TRUE(bridge.WaitFor("STAB_TRIM_CUTOFF_L=1", kReactMs)) << Trace();
    ASSERT_TRUE(bridge.Send("KILL_TQ_CONTROLLER=1"));
    ASSERT_TRUE(program->WaitForExit(kReactMs)) << "still running after the quit order" << Trace();
    EXPECT_EQ(program->ExitCode(), 0);
}

} // namespace
} // namespace zrk::test
