// The native window drawn from its description, on the real controller
// with virtual boards and time: every control is found by its id, the
// user's actions (sent as the messages the controls send) reach the
// controller, refreshes show its models and are never taken for an action;
// its menu bar's items do what they stand for.
// Runs under wine's null display driver: windows exist without a screen.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/HelpText.h"
#include "app/MenuLayout.h"
#include "app/TForm1.h"
#include "app/WindowLayout.h"
#include "support/Rig.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32FormRenderer.h"
#include "ui/win32/Win32Host.h"
#include "ui/win32/Win32MainWindow.h"
#include "ui/win32/Win32Text.h"

namespace zrk::test {
namespace {

struct WindowSearch {
    const wchar_t* className;
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchOwnWindow(HWND w, LPARAM param)
{
    auto& s = *reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t text[256] = {};
    wchar_t cls[256] = {};
    GetClassNameW(w, cls, 256);
    GetWindowTextW(w, text, 256);
    if (pid != GetCurrentProcessId() || std::wstring(cls) != s.className || (s.title && std::wstring(text) != s.title))
        return TRUE;
    s.found = w;
    return FALSE;
}

// A top-level window of this process with the given class and title (any
// title when null). FindWindowW would also find the windows of other
// programs, such as a zrk-tq.exe that another test runs beside this one.
HWND FindOwnWindow(const wchar_t* className, const wchar_t* title)
{
    WindowSearch search{className, title};
    EnumWindows(MatchOwnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Win32WindowTest : public ::testing::Test {
protected:
    void Open(const std::string& config)
    {
        rig.Start(config);
        window = std::make_unique<Win32MainWindow>(*rig.form, GetModuleHandleW(nullptr));
        ASSERT_TRUE(window->Create());
        window->Show(SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        window.reset();
        if (rig.form)
            rig.form->FormDestroy();
    }

    HWND FormWindow(const std::string& form) const
    {
        return form == "Form1" ? window->Handle() : window->Dialog(form);
    }
    // A control found the way another program finds it.
    HWND Item(const std::string& form, const std::string& control) const
    {
        const FormDesign* design = FindFormLayout(form);
        return design ? GetDlgItem(FormWindow(form), ControlId(*design, control)) : nullptr;
    }
    HWND Radio(const char* group, int index) const
    {
        return GetDlgItem(window->Handle(), RadioItemId(ControlId(MainWindowLayout(), group), index));
    }
    void Click(const std::string& form, const std::string& button)
    {
        HWND b = Item(form, button);
        ASSERT_NE(b, nullptr) << form << "." << button;
        ASSERT_TRUE(IsWindowVisible(b)) << form << "." << button;
        SendMessageW(b, BM_CLICK, 0, 0);
    }
    void Select(const char* group, int index)
    {
        HWND r = Radio(group, index);
        ASSERT_NE(r, nullptr) << group << " " << index;
        SendMessageW(r, BM_CLICK, 0, 0);
    }
    // A user's move of a track bar: the thumb moves, the bar tells its form.
    void Drag(const char* trackBar, int position)
    {
        HWND bar = Item("Form1", trackBar);
        ASSERT_NE(bar, nullptr) << trackBar;
        SendMessageW(bar, TBM_SETPOS, TRUE, position);
        SendMessageW(window->Handle(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(bar));
    }
    std::string Text(const std::string& form, const std::string& control) const
    {
        HWND w = Item(form, control);
        return w ? WindowTextUtf8(w) : std::string("<none>");
    }
    bool Shown(const std::string& form, const std::string& control) const
    {
        HWND w = Item(form, control);
        return w && (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE);
    }
    TForm1& Form() { return *rig.form; }

    Rig rig;
    std::unique_ptr<Win32MainWindow> window;
};

std::wstring ClassOf(HWND w)
{
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

// ---------------------------------------------------------------- the controls

TEST_F(Win32WindowTest, EveryControlOfEveryFormExistsWithItsIdAndKind)
{
    Open(Config({}));
    const std::pair<ControlKind, const wchar_t*> classes[] = {
        {ControlKind::Panel, WC_BUTTONW},          {ControlKind::Label, WC_STATICW},
        {ControlKind::Button, WC_BUTTONW},         {ControlKind::TrackBar, TRACKBAR_CLASSW},
        {ControlKind::UpDown, UPDOWN_CLASSW},      {ControlKind::Edit, WC_EDITW},
        {ControlKind::CheckBox, WC_BUTTONW},       {ControlKind::RadioGroup, WC_BUTTONW},
        {ControlKind::Shape, WC_STATICW},          {ControlKind::Memo, WC_EDITW},
        {ControlKind::StatusBar, STATUSCLASSNAMEW},
    };
    std::vector<const FormDesign*> forms{&MainWindowLayout()};
    for (const FormDesign& d : DialogLayouts())
        forms.push_back(&d);
    for (const FormDesign* f : forms) {
        for (const ControlDesign& c : f->controls) {
            HWND w = Item(f->name, c.name);
            ASSERT_NE(w, nullptr) << f->name << "." << c.name;
            for (const auto& [kind, cls] : classes) {
                if (kind == c.kind) {
                    EXPECT_EQ(lstrcmpiW(ClassOf(w).c_str(), cls), 0) << f->name << "." << c.name;
                }
            }
            if (c.kind == ControlKind::Panel || c.kind == ControlKind::RadioGroup) {
                EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX) << c.name;
            }
            if (c.kind == ControlKind::RadioGroup) {
                for (std::size_t i = 0; i < c.items.size(); ++i) {
                    HWND item = GetDlgItem(FormWindow(f->name), RadioItemId(ControlId(*f, c.name), int(i)));
                    ASSERT_NE(item, nullptr) << c.name << " " << i;
                    EXPECT_EQ(WindowTextUtf8(item), c.items[i]);
                }
            }
            if (c.kind == ControlKind::Panel || c.kind == ControlKind::Button || c.kind == ControlKind::CheckBox) {
                EXPECT_EQ(WindowTextUtf8(w), c.caption) << c.name;
            }
        }
    }

    // The windows, by their class and title; the dialogs hidden and owned
    // by the main window.
    EXPECT_EQ(FindOwnWindow(kFormWindowClass, Utf8ToWide(Form().Caption).c_str()), window->Handle());
    for (const FormDesign& d : DialogLayouts()) {
        HWND dialog = FindOwnWindow(kFormWindowClass, Utf8ToWide(d.caption).c_str());
        EXPECT_EQ(dialog, window->Dialog(d.name)) << d.name;
        EXPECT_FALSE(IsWindowVisible(dialog)) << d.name;
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), window->Handle()) << d.name;
    }
    // The "Manual Override" panel is not shown in the shipped layout, nor
    // what it holds.
    EXPECT_FALSE(Shown("Form1", "panel_override"));
    EXPECT_FALSE(Shown("Form1", "manual_override"));
    EXPECT_TRUE(Shown("Form1", "panel_fire"));
}

TEST_F(Win32WindowTest, LabelsAndLampsShowTheColoursOfTheirModels)
{
    Open(Config({}));
    HWND label = Item("Form1", "Label46");
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    auto textColour = [&] {
        SetTextColor(dc, RGB(1, 2, 3));
        const LRESULT brush =
            SendMessageW(window->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
        EXPECT_NE(brush, 0);
        return GetTextColor(dc);
    };
    Form().Label(46).FontColor = 0;
    EXPECT_EQ(textColour(), GetSysColor(COLOR_WINDOWTEXT));
    Form().Label(46).FontColor = 0x0000FF;   // red
    window->Refresh();
    EXPECT_EQ(textColour(), RGB(255, 0, 0));
    DeleteDC(dc);

    Form().fuel2.BrushColor = 255;
    window->Refresh();
    EXPECT_EQ(Text("Form1", "fuel2"), "colour 255");
}

// ---------------------------------------------------------------- calibration dialogs

struct Capture {
    const char* opener;   // the main window's button that shows the dialog
    const char* dialog;
    const char* button;
    std::function<void(TForm1&)> arrange;
    int Settings::*setting;
    int expected;
    const char* valueLabel;   // the dialog's label that shows the setting
};

std::vector<Capture> Captures()
{
    auto bars = [](int first, int base) {
        return [first, base](TForm1& f) {
            for (int i = 0; i < 4; ++i)
                f.TrackBar(first + i).Position = base + i;
        };
    };
    auto flapLever = [](TForm1& f) { f.Form4.Label(21).Caption = "412"; };
    auto speedbrakeLever = [](TForm1& f) { f.Form5.Label(1).Caption = "333"; };
    return {
        {"Button4", "Form2", "Button1", bars(1, 901), &Settings::THROTTLE_4_FULL, 904, "Label4"},
        {"Button5", "Form3", "Button4", bars(5, 401), &Settings::REVERSER_1_IDLE, 401, "Label13"},
        {"Button6", "Form5", "Button2", speedbrakeLever, &Settings::SPEEDBRAKE_UP, 333, "Label6"},
        {"Button1", "Form4", "Button25", flapLever, &Settings::FLAP_18, 412, "Label26"},
        {"Button1", "Form4", "Button21", [](TForm1& f) { f.cfg.FLAP_40 = 77; }, &Settings::FLAP_40, 0, "Label20"},
    };
}

TEST_F(Win32WindowTest, EveryCaptureButtonStoresItsValueShowsItAndMarksTheChange)
{
    Open(Config({}));
    for (const Capture& c : Captures()) {
        SCOPED_TRACE(std::string(c.dialog) + "." + c.button);
        Click("Form1", c.opener);
        ASSERT_TRUE(IsWindowVisible(window->Dialog(c.dialog)));
        c.arrange(Form());
        Form().ConfigChanged = false;
        Click(c.dialog, c.button);
        EXPECT_EQ(Form().cfg.*c.setting, c.expected);
        EXPECT_TRUE(Form().ConfigChanged);
        EXPECT_EQ(Text(c.dialog, c.valueLabel), std::to_string(c.expected));
        Click(c.dialog, "Button3");   // CLOSE
        EXPECT_FALSE(IsWindowVisible(window->Dialog(c.dialog)));
    }
}

TEST_F(Win32WindowTest, DialogsAreModelessAndCloseThroughTheController)
{
    Open(Config({}));
    Click("Form1", "Button4");
    HWND throttles = FindOwnWindow(kFormWindowClass, L"Throttle Calibration");
    ASSERT_NE(throttles, nullptr);
    EXPECT_TRUE(IsWindowVisible(throttles));
    EXPECT_TRUE(IsWindowEnabled(window->Handle()));

    // The main window keeps working while a dialog is open.
    Click("Form1", "Button1");
    Click("Form1", "Button5");
    EXPECT_TRUE(IsWindowVisible(window->Dialog("Form4")));
    EXPECT_TRUE(IsWindowVisible(window->Dialog("Form3")));
    Select("mode", 1);
    EXPECT_EQ(Form().mode.ItemIndex, 1);

    // CLOSE, the frame's close and Escape all hide a dialog through the
    // controller.
    Click("Form2", "Button3");
    EXPECT_FALSE(Form().Form2.Visible);
    EXPECT_FALSE(IsWindowVisible(throttles));
    SendMessageW(window->Dialog("Form4"), WM_CLOSE, 0, 0);
    EXPECT_FALSE(Form().Form4.Visible);
    EXPECT_FALSE(IsWindowVisible(window->Dialog("Form4")));
    MSG escape{Item("Form3", "Button1"), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(window->TranslateDialogMessage(escape));
    EXPECT_FALSE(Form().Form3.Visible);
    EXPECT_FALSE(IsWindowVisible(window->Dialog("Form3")));
    EXPECT_TRUE(IsWindowVisible(window->Handle()));

    // The dialogs stay until the main window goes; shown again, they come
    // back where they were.
    Click("Form1", "Button4");
    EXPECT_TRUE(IsWindowVisible(throttles));
}

// ---------------------------------------------------------------- test panel

std::string ThrottleTwoCalibrated()
{
    return Config({{"THROTTLES", "THROTTLE_2_IDLE", "100"}, {"THROTTLES", "THROTTLE_2_FULL", "900"}});
}

TEST_F(Win32WindowTest, ASliderMovedInTestFsReachesTheLeverHandler)
{
    // What a raw reading of 500 on main-card input 1 gives.
    Rig reference;
    reference.Start(ThrottleTwoCalibrated());
    reference.form->PhidgetInterfaceKit2SensorChange(1, 500);
    const int16_t expected = reference.form->throttle_out_2;
    ASSERT_NE(expected, 0);
    reference.form->FormDestroy();

    Open(ThrottleTwoCalibrated());
    // In AUTOMATIC a moved slider computes nothing.
    Drag("TrackBar2", 500);
    EXPECT_EQ(Form().throttle_out_2, 0);

    Drag("TrackBar2", 0);
    Select("mode", 1);
    ASSERT_EQ(Form().mode.ItemIndex, 1);
    EXPECT_EQ(SendMessageW(Radio("mode", 1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Radio("mode", 0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    Drag("TrackBar2", 500);
    EXPECT_EQ(Form().TrackBar(2).Position, 500);
    EXPECT_EQ(Form().throttle_out_2, expected);
    EXPECT_EQ(Text("Form1", "Label2"), "500");

    // A notification without a move (the end of a drag) runs nothing again.
    Form().throttle_out_2 = 0;
    SendMessageW(window->Handle(), WM_HSCROLL, TB_ENDTRACK, reinterpret_cast<LPARAM>(Item("Form1", "TrackBar2")));
    EXPECT_EQ(Form().throttle_out_2, 0);
}

TEST_F(Win32WindowTest, The747ShowsTheControlsOfLevers3And4)
{
    Open(Config({}));
    const char* const levers34[] = {"TrackBar3", "TrackBar4", "TrackBar7", "TrackBar8", "Label11", "Label12",
                                    "Label15",   "Label16",   "Label3",    "Label4",    "Label7",  "Label8",
                                    "Label24",   "Label25",   "Label28",   "Label29",   "Label64", "Label65",
                                    "Label72",   "Label73"};
    for (const char* name : levers34)
        EXPECT_FALSE(Shown("Form1", name)) << name << " on the 777";
    EXPECT_TRUE(Shown("Form1", "TrackBar2"));

    Select("aircraft_type", 2);
    EXPECT_EQ(Form().aircraft_type.ItemIndex, 2);
    EXPECT_TRUE(Form().ConfigChanged);
    for (const char* name : levers34)
        EXPECT_TRUE(Shown("Form1", name)) << name << " on the 747";

    Select("aircraft_type", 1);
    for (const char* name : levers34)
        EXPECT_FALSE(Shown("Form1", name)) << name << " on the 737";
}

// ---------------------------------------------------------------- refresh

TEST_F(Win32WindowTest, ARefreshShowsTheModelsAndIsNeverTakenForAUserAction)
{
    Open(Config({}));
    ASSERT_FALSE(Form().ConfigChanged);
    // Labels show their design text until a handler writes them.
    EXPECT_EQ(Text("Form1", "Label11"), "Throttle 3");
    EXPECT_EQ(Text("Form2", "Label9"), "Throttle 1");
    // Changes a handler makes, each of which would be an action if the
    // controls echoed them back.
    Form().mode.ItemIndex = 1;
    Form().aircraft_type.ItemIndex = 2;
    Form().TrackBar(1).Position = 300;
    Form().UpDown2.Position = 7;
    Form().p_pid_p.Text = "42";
    Form().manual_override.Checked = true;
    Form().StatusBar1.SimpleText = "Bridge connected";
    Form().Form2.Label(9).Caption = "512";
    window->Refresh();
    EXPECT_EQ(Text("Form2", "Label9"), "512");

    EXPECT_EQ(SendMessageW(Radio("mode", 1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Radio("mode", 0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(Radio("aircraft_type", 2), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Item("Form1", "TrackBar1"), TBM_GETPOS, 0, 0), 300);
    EXPECT_EQ(SendMessageW(Item("Form1", "UpDown2"), UDM_GETPOS32, 0, 0), 7);
    EXPECT_EQ(Text("Form1", "p_pid_p"), "42");
    EXPECT_EQ(SendMessageW(Item("Form1", "manual_override"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Text("Form1", "StatusBar1"), "Bridge connected");
    EXPECT_FALSE(Form().ConfigChanged);
    EXPECT_EQ(Form().throttle_out_1, 0);
    EXPECT_EQ(Form().p_pid_p.Text, "42");
    EXPECT_EQ(Form().cfg.TRIM_NULL_ZONE, 0.04);

    // The refresh timer does the same without being asked.
    Form().Label(59).Caption = "RETRACT";
    SendMessageW(window->Handle(), WM_TIMER, 1, 0);
    EXPECT_EQ(Text("Form1", "Label59"), "RETRACT");
}

TEST_F(Win32WindowTest, TuningControlsForwardTheUsersChanges)
{
    Open(Config({}));
    HWND nullZone = Item("Form1", "UpDown2");
    ASSERT_EQ(SendMessageW(nullZone, UDM_GETPOS32, 0, 0), 4);
    // The number box beside the arrows shows the position.
    HWND box = GetDlgItem(window->Handle(), UpDownBuddyId(ControlId(MainWindowLayout(), "UpDown2")));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowTextUtf8(box), "4");

    // A click on the up arrow: the position steps, the form is told.
    SendMessageW(nullZone, UDM_SETPOS32, 0, 5);
    SendMessageW(window->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 5), reinterpret_cast<LPARAM>(nullZone));
    EXPECT_EQ(Form().UpDown2.Position, 5);
    EXPECT_DOUBLE_EQ(Form().cfg.TRIM_NULL_ZONE, 0.05);
    EXPECT_TRUE(Form().ConfigChanged);
    EXPECT_EQ(Text("Form1", "Label41"), "0.05");

    // The up arrow key in the number box steps by the up-down's step.
    HWND delay = Item("Form1", "UpDown3");
    HWND delayBox = GetDlgItem(window->Handle(), UpDownBuddyId(ControlId(MainWindowLayout(), "UpDown3")));
    const int before = Form().UpDown3.Position;
    SendMessageW(delayBox, WM_KEYDOWN, VK_UP, 0);
    SendMessageW(delayBox, WM_KEYUP, VK_UP, 0);
    EXPECT_EQ(Form().UpDown3.Position, before + 100);
    EXPECT_EQ(SendMessageW(delay, UDM_GETPOS32, 0, 0), before + 100);

    // Typing in a PID box: every change of its text.
    SetWindowTextW(Item("Form1", "p_pid_d"), L"abc");
    EXPECT_EQ(Form().p_pid_d.Text, "abc");
    // Text the controller refuses does not stay.
    SetWindowTextW(Item("Form1", "p_pid_d"), std::wstring(300, L'9').c_str());
    EXPECT_EQ(Form().p_pid_d.Text, "abc");
    EXPECT_EQ(Text("Form1", "p_pid_d"), "abc");

    // The check box.
    ASSERT_FALSE(Form().manual_override.Checked);
    SendMessageW(Item("Form1", "manual_override"), BM_CLICK, 0, 0);
    EXPECT_TRUE(Form().manual_override.Checked);
}

TEST_F(Win32WindowTest, TabMovesThroughTheControlsThatTakeInput)
{
    Open(Config({}));
    HWND deploy = Item("Form1", "Button7");
    SetFocus(deploy);
    ASSERT_EQ(GetFocus(), deploy);
    MSG tab{deploy, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(window->TranslateDialogMessage(tab));
    EXPECT_EQ(GetFocus(), Item("Form1", "Button8"));
    // Not ours: left to the host.
    MSG other{nullptr, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_FALSE(window->TranslateDialogMessage(other));
}

// ---------------------------------------------------------------- the log

TEST_F(Win32WindowTest, TheLogFollowsTheNewestLineUnlessScrolledBack)
{
    Open(Config({}));
    HWND memo = Item("Form1", "Memo1");
    for (int i = 0; i < 300; ++i)
        Form().Log("line " + std::to_string(i));
    window->Refresh();
    const std::string text = Text("Form1", "Memo1");
    EXPECT_TRUE(text.ends_with("line 299")) << text.substr(text.size() > 40 ? text.size() - 40 : 0);
    EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), LRESULT(Form().Memo1.Lines().size()));
    const LRESULT bottom = SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(bottom, 200);

    // Scrolled back by the user: new lines do not pull the view away.
    SendMessageW(memo, WM_VSCROLL, SB_TOP, 0);
    ASSERT_EQ(SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    Form().Log("one more");
    window->Refresh();
    EXPECT_EQ(SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_TRUE(Text("Form1", "Memo1").ends_with("one more"));
    // Back at the end, it follows again.
    SendMessageW(memo, WM_VSCROLL, SB_BOTTOM, 0);
    Form().Log("and another");
    window->Refresh();
    EXPECT_GT(SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0), bottom);
}

TEST_F(Win32WindowTest, TheLogKeepsTheNewestLinesOnlyAndRedrawsWhenCleared)
{
    Open(Config({}));
    HWND memo = Item("Form1", "Memo1");
    for (std::size_t i = 0; i < MemoModel::kMaxLines + 20; ++i)
        Form().Log("entry " + std::to_string(i));
    window->Refresh();
    // Fewer than the model keeps, added one refresh at a time.
    for (int i = 0; i < 3; ++i) {
        Form().Log("late " + std::to_string(i));
        window->Refresh();
    }
    EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), LRESULT(MemoModel::kMaxLines));
    EXPECT_TRUE(Text("Form1", "Memo1").ends_with("late 2"));

    Form().Memo1.Clear();
    Form().Log("fresh");
    window->Refresh();
    EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 1);
    EXPECT_TRUE(Text("Form1", "Memo1").ends_with("fresh"));
}

// ---------------------------------------------------------------- the window

RECT PlaceIn(HWND form, HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(Win32WindowTest, AWiderWindowStretchesTheSlidersAndTheLogAndMovesTheRightColumn)
{
    Open(Config({}));
    const FormDesign& design = MainWindowLayout();
    Win32FormRenderer* renderer = window->Renderer("Form1");
    ASSERT_NE(renderer, nullptr);
    auto place = [&](const char* name) { return PlaceIn(window->Handle(), Item("Form1", name)); };
    const char* const names[] = {"Memo1", "TrackBar1", "Button10", "StatusBar1", "Label2", "Button4", "UpDown2"};

    renderer->Layout(design.width, design.height);
    std::vector<RECT> before;
    for (const char* name : names)
        before.push_back(place(name));
    // At design size every control is where the description puts it.
    EXPECT_EQ(before[2].left, 994);
    EXPECT_EQ(before[2].top, 592);
    EXPECT_EQ(before[3].top, 640);

    renderer->Layout(design.width + 200, design.height + 160);
    struct Expected {
        int dx, dy, dw, dh;
    };
    const Expected expected[] = {
        {0, 0, 200, 160},     // the log: anchored all round, in a panel anchored all round
        {0, 0, 200, 0},       // a slider: stretches with its panel
        {200, 160, 0, 0},     // Save Config: to the bottom right
        {0, 160, 200, 0},     // the status bar: along the bottom
        {200, 0, 0, 0},       // a raw value: right-anchored in its panel
        {200, 0, 0, 0},       // a panel on the right
        {200, 0, 0, 0},       // an up-down in a panel on the right
    };
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const RECT b = before[i], a = place(names[i]);
        EXPECT_EQ(a.left - b.left, expected[i].dx) << names[i];
        EXPECT_EQ(a.top - b.top, expected[i].dy) << names[i];
        EXPECT_EQ((a.right - a.left) - (b.right - b.left), expected[i].dw) << names[i];
        EXPECT_EQ((a.bottom - a.top) - (b.bottom - b.top), expected[i].dh) << names[i];
    }
}

TEST_F(Win32WindowTest, AWindowSmallerThanItsDesignScrolls)
{
    Open(Config({}));
    HWND main = window->Handle();
    SetWindowPos(main, nullptr, 0, 0, 700, 420, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(main, &client);
    ASSERT_LT(client.right, MainWindowLayout().width);
    ASSERT_LT(client.bottom, MainWindowLayout().height);

    SendMessageW(main, WM_HSCROLL, SB_RIGHT, 0);
    SendMessageW(main, WM_VSCROLL, SB_BOTTOM, 0);
    // Scrolled to the end: the design's bottom right corner is the client
    // area's.
    const RECT status = PlaceIn(main, Item("Form1", "StatusBar1"));
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(status.right, client.right);
    const RECT save = PlaceIn(main, Item("Form1", "Button10"));
    EXPECT_EQ(save.left, 994 - GetScrollPos(main, SB_HORZ));
    EXPECT_EQ(save.top, 592 - GetScrollPos(main, SB_VERT));

    SendMessageW(main, WM_HSCROLL, SB_LEFT, 0);
    SendMessageW(main, WM_VSCROLL, SB_TOP, 0);
    const RECT back = PlaceIn(main, Item("Form1", "Button10"));
    EXPECT_EQ(back.left, 994);
    EXPECT_EQ(back.top, 592);
}

// ---------------------------------------------------------------- DPI and fit

std::vector<const FormDesign*> AllForms()
{
    std::vector<const FormDesign*> forms{&MainWindowLayout()};
    for (const FormDesign& d : DialogLayouts())
        forms.push_back(&d);
    return forms;
}

int FontHeight(HWND control)
{
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    return handle && GetObjectW(handle, sizeof(font), &font) ? int(font.lfHeight) : 0;
}

TEST_F(Win32WindowTest, AMoveToAScreenOfAnotherDpiRedrawsTheWindowAtItInTheSuggestedRectangle)
{
    Open(Config({}));
    HWND main = window->Handle();
    const int dpi = WindowDpi(main);
    const int fontBefore = FontHeight(Item("Form1", "Button10"));
    const struct {
        int dpi;
        RECT suggested;
    } moves[] = {{dpi * 3 / 2, {40, 30, 940, 630}}, {dpi * 2, {0, 0, 1000, 700}}, {dpi, {10, 10, 900, 600}}};
    for (const auto& move : moves) {
        SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(move.dpi, move.dpi), reinterpret_cast<LPARAM>(&move.suggested));
        SendMessageW(main, WM_HSCROLL, SB_LEFT, 0);
        SendMessageW(main, WM_VSCROLL, SB_TOP, 0);
        RECT now{};
        GetWindowRect(main, &now);
        EXPECT_TRUE(EqualRect(&now, &move.suggested)) << move.dpi;
        // The description's places, scaled; the scroll range is its size.
        const RECT save = PlaceIn(main, Item("Form1", "Button10"));
        EXPECT_EQ(save.left, MulDiv(994, move.dpi, 96)) << move.dpi;
        EXPECT_EQ(save.top, MulDiv(592, move.dpi, 96)) << move.dpi;
        SCROLLINFO bar{};
        bar.cbSize = sizeof(bar);
        bar.fMask = SIF_RANGE;
        ASSERT_TRUE(GetScrollInfo(main, SB_HORZ, &bar));
        EXPECT_EQ(bar.nMax + 1, MulDiv(MainWindowLayout().width, move.dpi, 96)) << move.dpi;
        EXPECT_EQ(FontHeight(Item("Form1", "Button10")), MulDiv(fontBefore, move.dpi, dpi)) << move.dpi;
        EXPECT_EQ(FontHeight(Item("Form1", "Label2")), MulDiv(fontBefore, move.dpi, dpi)) << move.dpi;
    }
}

// Run by Win32WindowDpiTest in a process of its own, started with the
// system's DPI set (wine reads it once, when a process starts).
class Win32WindowAtDpiTest : public Win32WindowTest {
protected:
    void SetUp() override
    {
        const char* dpi = std::getenv("ZRK_TEST_DPI");
        if (!dpi)
            GTEST_SKIP() << "runs in a process of its own at a set DPI";
        expectedDpi = std::atoi(dpi);
        Open(Config({}));
        ASSERT_EQ(WindowDpi(window->Handle()), expectedDpi);
    }
    int expectedDpi = 96;
};

TEST_F(Win32WindowAtDpiTest, EveryControlIsFoundAndNoLabelClipsItsText)
{
    for (const FormDesign* f : AllForms()) {
        HWND form = FormWindow(f->name);
        for (const ControlDesign& c : f->controls) {
            HWND w = Item(f->name, c.name);
            ASSERT_NE(w, nullptr) << f->name << "." << c.name;
            if (c.kind == ControlKind::Label || c.kind == ControlKind::Button || c.kind == ControlKind::CheckBox
                || c.kind == ControlKind::Panel || c.kind == ControlKind::RadioGroup || c.kind == ControlKind::Edit) {
                EXPECT_EQ(FontHeight(w), FontHeight(Item("Form1", "Button10"))) << c.name;
            }
            if (c.kind == ControlKind::UpDown) {
                EXPECT_NE(GetDlgItem(form, UpDownBuddyId(ControlId(*f, c.name))), nullptr) << c.name;
            }
            for (std::size_t i = 0; i < c.items.size(); ++i) {
                EXPECT_NE(GetDlgItem(form, RadioItemId(ControlId(*f, c.name), int(i))), nullptr) << c.name;
            }
            if (c.kind != ControlKind::Label)
                continue;
            const std::wstring text = Utf8ToWide(WindowTextUtf8(w));
            HDC dc = GetDC(w);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(w, WM_GETFONT, 0, 0)));
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
            SelectObject(dc, old);
            ReleaseDC(w, dc);
            RECT client{};
            GetClientRect(w, &client);
            EXPECT_LE(size.cx, client.right) << f->name << "." << c.name << " \"" << WindowTextUtf8(w) << "\"";
            EXPECT_LE(size.cy, client.bottom) << f->name << "." << c.name << " \"" << WindowTextUtf8(w) << "\"";
        }
    }
}

TEST_F(Win32WindowAtDpiTest, EveryWindowLiesInTheWorkAreaAndEveryControlInItsClientAreaOrScrollRange)
{
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window->Handle(), MONITOR_DEFAULTTOPRIMARY), &screen));
    const RECT work = screen.rcWork;
    // A calibration dialog opens centred over the main window.
    Click("Form1", "Button4");
    ASSERT_TRUE(IsWindowVisible(window->Dialog("Form2")));
    RECT mainFrame{}, dialogFrame{};
    GetWindowRect(window->Handle(), &mainFrame);
    GetWindowRect(window->Dialog("Form2"), &dialogFrame);
    EXPECT_NEAR((dialogFrame.left + dialogFrame.right) / 2, (mainFrame.left + mainFrame.right) / 2, 1);
    EXPECT_NEAR((dialogFrame.top + dialogFrame.bottom) / 2, (mainFrame.top + mainFrame.bottom) / 2, 1);

    for (const FormDesign* f : AllForms()) {
        HWND form = FormWindow(f->name);
        RECT frame{};
        GetWindowRect(form, &frame);
        EXPECT_GE(frame.left, work.left) << f->name;
        EXPECT_GE(frame.top, work.top) << f->name;
        EXPECT_LE(frame.right, work.right) << f->name;
        EXPECT_LE(frame.bottom, work.bottom) << f->name;
        // What the client area shows, scrolled to its start, and what
        // scrolling reaches.
        SendMessageW(form, WM_HSCROLL, SB_LEFT, 0);
        SendMessageW(form, WM_VSCROLL, SB_TOP, 0);
        RECT client{};
        GetClientRect(form, &client);
        LONG reachX = client.right, reachY = client.bottom;
        SCROLLINFO bar{};
        bar.cbSize = sizeof(bar);
        bar.fMask = SIF_RANGE | SIF_PAGE;
        if (GetScrollInfo(form, SB_HORZ, &bar) && int(bar.nPage) <= bar.nMax)
            reachX = std::max<LONG>(reachX, bar.nMax + 1);
        if (GetScrollInfo(form, SB_VERT, &bar) && int(bar.nPage) <= bar.nMax)
            reachY = std::max<LONG>(reachY, bar.nMax + 1);
        EXPECT_GE(reachX, MulDiv(f->width, expectedDpi, 96)) << f->name;
        EXPECT_GE(reachY, MulDiv(f->height, expectedDpi, 96)) << f->name;
        for (const ControlDesign& c : f->controls) {
            const RECT r = PlaceIn(form, Item(f->name, c.name));
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= reachX && r.bottom <= reachY)
                << f->name << "." << c.name << " at " << r.left << "," << r.top << " " << r.right << "," << r.bottom;
        }
    }
}

// The tests above at 100 % and 150 %: each in a process started with the
// system's DPI set in the registry, where wine reads it.
TEST(Win32WindowDpiTest, EveryFormIsDrawnWholeAt100And150Percent)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    HKEY desktop = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &desktop),
              ERROR_SUCCESS);
    DWORD saved = 0, size = sizeof(saved), type = 0;
    const bool hadValue = RegQueryValueExW(desktop, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&saved), &size)
                          == ERROR_SUCCESS;
    for (const DWORD dpi : {96u, 144u}) {
        ASSERT_EQ(RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)),
                  ERROR_SUCCESS);
        SetEnvironmentVariableW(L"ZRK_TEST_DPI", std::to_wstring(dpi).c_str());
        std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=Win32WindowAtDpiTest.*";
        STARTUPINFOW start{};
        start.cb = sizeof(start);
        PROCESS_INFORMATION child{};
        const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                            &start, &child);
        SetEnvironmentVariableW(L"ZRK_TEST_DPI", nullptr);
        DWORD code = 1;
        if (started) {
            // Once it has started, it has read the DPI.
            WaitForSingleObject(child.hProcess, 120000);
            GetExitCodeProcess(child.hProcess, &code);
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
        EXPECT_TRUE(started) << dpi;
        EXPECT_EQ(code, 0u) << "at " << dpi << " DPI";
    }
    if (hadValue && type == REG_DWORD)
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved), sizeof(saved));
    else
        RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);
}

TEST_F(Win32WindowTest, ADialogSmallerThanItsDesignScrollsAsAWhole)
{
    Open(Config({}));
    for (const FormDesign& d : DialogLayouts()) {
        HWND dialog = window->Dialog(d.name);
        SetWindowPos(dialog, nullptr, 0, 0, d.width / 2, d.height / 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        GetClientRect(dialog, &client);
        ASSERT_LT(client.right, d.width) << d.name;
        // Scrolled to the end, the design's far corner is the client
        // area's; back at the start, every control is at its design place.
        SendMessageW(dialog, WM_HSCROLL, SB_RIGHT, 0);
        SendMessageW(dialog, WM_VSCROLL, SB_BOTTOM, 0);
        const int scrolledX = GetScrollPos(dialog, SB_HORZ), scrolledY = GetScrollPos(dialog, SB_VERT);
        EXPECT_EQ(scrolledX + client.right, d.width) << d.name;
        EXPECT_EQ(scrolledY + client.bottom, d.height) << d.name;
        const ControlDesign& first = d.controls.front();
        const RECT atEnd = PlaceIn(dialog, Item(d.name, first.name));
        EXPECT_EQ(atEnd.left, first.bounds.left - scrolledX) << d.name;
        SendMessageW(dialog, WM_HSCROLL, SB_LEFT, 0);
        SendMessageW(dialog, WM_VSCROLL, SB_TOP, 0);
        const RECT back = PlaceIn(dialog, Item(d.name, first.name));
        EXPECT_EQ(back.left, first.bounds.left) << d.name;
        EXPECT_EQ(back.top, first.bounds.top) << d.name;
    }
}

TEST_F(Win32WindowTest, ClosingTheMainWindowAsksTheController)
{
    Open(Config({}));
    bool closed = false;
    window->onClosed = [&] { closed = true; };
    HWND main = window->Handle();

    // A setting changed on screen: the save question; Cancel keeps the
    // window.
    Form().ConfigChanged = true;
    rig.dialogs.answers.push_back(DialogAnswer::Cancel);
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(rig.dialogs.questions.size(), 1u);
    EXPECT_TRUE(IsWindow(main));
    EXPECT_FALSE(closed);

    // "No": the window goes, and with it the dialogs.
    Click("Form1", "Button4");
    HWND dialog = window->Dialog("Form2");
    rig.dialogs.answers.push_back(DialogAnswer::No);
    EXPECT_TRUE(window->Close());
    EXPECT_TRUE(closed);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_EQ(FindOwnWindow(kFormWindowClass, nullptr), nullptr);
    // Nothing left to refresh or close.
    window->Refresh();
    EXPECT_FALSE(window->Close());
}

// ---------------------------------------------------------------- the menu bar

// Built from the menu description: its items are found by their command
// ids, and a WM_COMMAND of one does what it stands for through the
// window's shell (a stand-in here, and once the real message box).

// The settings of a Windows installation's virtual cockpit.
constexpr const char* kDemoFolder = "C:\\Cockpit\\ZRK-TQ\\demo";

class Win32MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.files.Put(std::string(kDemoFolder) + "/CONFIG.INI", Config({}));
        rig.form = std::make_unique<TForm1>(rig.MakePorts(kDemoFolder));
        rig.host.Bind(rig.form.get());
        rig.form->FormCreate();
        window = std::make_unique<Win32MainWindow>(*rig.form, GetModuleHandleW(nullptr));
        ASSERT_TRUE(window->Create());
        window->Show(SW_SHOWNOACTIVATE);
        Win32Shell shell;
        shell.openFolder = [this](HWND owner, const std::wstring& folder) {
            opened.push_back(folder);
            owners.push_back(owner);
            return opens;
        };
        shell.showText = [this](HWND owner, const std::wstring& title, const std::wstring& text) {
            boxes.push_back({WideToUtf8(title), WideToUtf8(text)});
            owners.push_back(owner);
        };
        window->SetShell(shell);
    }
    void TearDown() override
    {
        window.reset();
        if (rig.form)
            rig.form->FormDestroy();
    }
    // The user's choice of an item, as the menu sends it.
    void Choose(const char* item)
    {
        const int id = MenuCommandId(item);
        ASSERT_NE(id, 0) << item;
        SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }

    Rig rig;
    std::unique_ptr<Win32MainWindow> window;
    std::vector<std::wstring> opened;
    std::vector<HWND> owners;
    std::vector<HelpBox> boxes;
    bool opens = true;
};

std::string MenuText(HMENU menu, UINT item, UINT by)
{
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 127;
    return GetMenuItemInfoW(menu, item, by == MF_BYPOSITION, &info) ? WideToUtf8(text) : std::string("<none>");
}

TEST_F(Win32MenuTest, TheMenuBarHoldsHelpWithItsItemsByIdAndNoThemes)
{
    HMENU bar = GetMenu(window->Handle());
    ASSERT_NE(bar, nullptr);
    // One colour scheme: no View menu, no theme items.
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(MenuText(bar, 0, MF_BYPOSITION), "&Tools");
    EXPECT_EQ(MenuText(bar, 1, MF_BYPOSITION), "&Help");
    HMENU help = GetSubMenu(bar, 1);
    ASSERT_NE(help, nullptr);
    for (const MenuDesign& m : MainMenuLayout())
        for (const MenuItemDesign& item : m.items) {
            const UINT id = UINT(MenuCommandId(item.name));
            if (Win32MainWindow::Supports(item.action)) {
                EXPECT_NE(GetMenuState(bar, id, MF_BYCOMMAND), UINT(-1)) << item.name;
                EXPECT_EQ(MenuText(bar, id, MF_BYCOMMAND), item.caption) << item.name;
            } else {
                EXPECT_EQ(GetMenuState(bar, id, MF_BYCOMMAND), UINT(-1)) << item.name;
            }
        }
    EXPECT_EQ(GetMenuItemCount(help), 3);
    for (const char* name : {"help_about", "help_open_settings_folder", "help_first_start"})
        EXPECT_NE(GetMenuState(help, UINT(MenuCommandId(name)), MF_BYCOMMAND), UINT(-1)) << name;

    // The menu bar takes no room from the form: a window the work area did
    // not cut shows the design's whole height above its horizontal scroll
    // bar (there when the work area is narrower than the design).
    HWND main = window->Handle();
    RECT client{}, frame{}, work{};
    GetClientRect(main, &client);
    GetWindowRect(main, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const bool horizontalBar = GetWindowLongW(main, GWL_STYLE) & WS_HSCROLL;
    if (frame.bottom - frame.top < work.bottom - work.top) {
        EXPECT_EQ(client.bottom + (horizontalBar ? GetSystemMetrics(SM_CYHSCROLL) : 0),
                  ScaleToDpi(MainWindowLayout().height, WindowDpi(main)));
    }
}

TEST_F(Win32MenuTest, OpenSettingsFolderAsksForTheFolderOfTheConfigFileInUseAndLogsAFailure)
{
    Choose("help_open_settings_folder");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(WideToUtf8(opened[0]), kDemoFolder);
    EXPECT_EQ(owners.back(), window->Handle());
    EXPECT_FALSE(rig.Logged(FolderNotOpenedText(kDemoFolder)));

    // The file manager could not be asked: the log says so, with the folder.
    opens = false;
    Choose("help_open_settings_folder");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(rig.Logged(FolderNotOpenedText(kDemoFolder)));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Win32MenuTest, AboutAndFirstStartShowTheirTextsOverTheMainWindow)
{
    Choose("help_about");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].title.find(kProgramName), std::string::npos);
    EXPECT_NE(boxes[0].text.find(std::string("Version ") + kVersion), std::string::npos) << boxes[0].text;
    EXPECT_EQ(owners.back(), window->Handle());

    Choose("help_first_start");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, FirstStartBox(rig.form->ConfigPath()).text);
    EXPECT_NE(boxes[1].text.find(kDemoFolder), std::string::npos);
    EXPECT_TRUE(opened.empty());

    // Commands that are no menu item's do nothing.
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kFirstMenuCommandId - 1, 0), 0);
    EXPECT_EQ(boxes.size(), 2u);
}

// The texts of the message boxes of this thread that are up.
struct BoxSearch {
    std::string text;
    bool found = false;
};

BOOL CALLBACK ReadStatic(HWND child, LPARAM param)
{
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0)
        reinterpret_cast<BoxSearch*>(param)->text += WindowTextUtf8(child);
    return TRUE;
}

BOOL CALLBACK ReadBox(HWND hwnd, LPARAM param)
{
    wchar_t cls[16] = {};
    if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, cls, 16) > 0 && std::wstring(cls) == L"#32770") {
        auto& search = *reinterpret_cast<BoxSearch*>(param);
        search.found = true;
        EnumChildWindows(hwnd, ReadStatic, param);
    }
    return TRUE;
}

BoxSearch g_box;

void CALLBACK CloseBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    g_box = {};
    EnumThreadWindows(GetCurrentThreadId(), ReadBox, reinterpret_cast<LPARAM>(&g_box));
    if (g_box.found) {
        KillTimer(nullptr, timer);
        CancelModalDialogs();
    }
}

TEST_F(Win32MenuTest, AboutWithoutAStandInShowsAMessageBoxWithTheVersion)
{
    window->SetShell({});
    g_box = {};
    // The box's modal loop runs the timer, which reads and closes it.
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseBox);
    ASSERT_NE(timer, 0u);
    Choose("help_about");
    KillTimer(nullptr, timer);
    ASSERT_TRUE(g_box.found);
    EXPECT_NE(g_box.text.find(std::string("Version ") + kVersion), std::string::npos) << g_box.text;
}

// ---------------------------------------------------------------- the status bar

std::string PartText(HWND bar, int part)
{
    const int length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, WPARAM(part), 0));
    std::wstring text(std::size_t(length) + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::size_t(length));
    return WideToUtf8(text);
}

std::vector<int> PartEdges(HWND bar)
{
    std::vector<int> edges(8, 0);
    const int n = int(SendMessageW(bar, SB_GETPARTS, WPARAM(edges.size()), reinterpret_cast<LPARAM>(edges.data())));
    edges.resize(std::size_t(std::max(0, n)));
    return edges;
}

// Whether `text` fits between two edges of the bar, in the bar's font.
bool Fits(HWND bar, const std::string& text, int left, int right)
{
    const std::wstring wide = Utf8ToWide(text);
    HDC dc = GetDC(bar);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(bar, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
    return size.cx < right - left;
}

TEST_F(Win32WindowTest, TheStatusBarShowsTheSimulatorTheBridgeAndTheBoardsInItsParts)
{
    Open(Config({}));
    HWND bar = Item("Form1", "StatusBar1");
    ASSERT_NE(bar, nullptr);
    StatusBarModel& model = Form().StatusBar1;
    auto expectParts = [&](const char* when) {
        const std::string* texts[] = {&model.SimpleText, &model.BridgeText, &model.BoardsText};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(PartText(bar, i), *texts[i]) << when << ", part " << i;
    };
    // The first second's look at the bridge and the boards fills them in.
    rig.host.RunFor(1100);
    window->Refresh();
    EXPECT_FALSE(model.BridgeText.empty());
    EXPECT_FALSE(model.BoardsText.empty());
    expectParts("after a second");
    // The window's text is the simulator's part, as before there were parts.
    EXPECT_EQ(Text("Form1", "StatusBar1"), model.SimpleText);

    model.SimpleText = "Waiting for FSUIPC";
    model.BridgeText = "Waiting for Bridge 192.168.100.200:65535";
    model.BoardsText = "Boards 10/11";
    SendMessageW(window->Handle(), WM_TIMER, 1, 0);
    expectParts("after the models changed");

    // The bridge's and the boards' parts at the right end, wide enough for
    // their longest texts; the simulator's part takes the rest.
    HWND main = window->Handle();
    auto expectPlaces = [&](const char* when) {
        const std::vector<int> edges = PartEdges(bar);
        ASSERT_EQ(edges.size(), 3u) << when;
        RECT client{};
        GetClientRect(bar, &client);
        EXPECT_EQ(edges[2], -1) << when;
        EXPECT_TRUE(Fits(bar, model.BridgeText, edges[0], edges[1])) << when;
        EXPECT_TRUE(Fits(bar, "Boards 11/11", edges[1], client.right)) << when;
        EXPECT_TRUE(Fits(bar, "Waiting for FSUIPC", 0, edges[0])) << when;
    };
    expectPlaces("at first");

    // Wider: the right-hand parts move with the bar's right edge.
    Win32FormRenderer* renderer = window->Renderer("Form1");
    const FormDesign& design = MainWindowLayout();
    const int dpi = WindowDpi(main);
    renderer->Layout(ScaleToDpi(design.width, dpi), ScaleToDpi(design.height, dpi));
    const std::vector<int> before = PartEdges(bar);
    renderer->Layout(ScaleToDpi(design.width, dpi) + 200, ScaleToDpi(design.height, dpi));
    const std::vector<int> wider = PartEdges(bar);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(wider.size(), 3u);
    EXPECT_EQ(wider[0] - before[0], 200);
    EXPECT_EQ(wider[1] - before[1], 200);
    expectParts("wider");
    expectPlaces("wider");

    // At twice the DPI the right-hand parts are twice as wide.
    RECT suggested{0, 0, 1200, 800};
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi * 2, dpi * 2), reinterpret_cast<LPARAM>(&suggested));
    const std::vector<int> doubled = PartEdges(bar);
    ASSERT_EQ(doubled.size(), 3u);
    EXPECT_NEAR(doubled[1] - doubled[0], 2 * (before[1] - before[0]), 2);
    expectParts("at twice the DPI");
    expectPlaces("at twice the DPI");

    // A refresh with nothing changed leaves the parts alone.
    SendMessageW(bar, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L"marked"));
    window->Refresh();
    EXPECT_EQ(PartText(bar, 1), "marked");
}

} // namespace
} // namespace zrk::test
