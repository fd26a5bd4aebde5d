// The native Boards window opened from the main window's Tools menu, on the
// real controller with virtual boards: controls found by their ids, the
// lists showing the model's lines, a choice and a button reaching the
// model, and a close by the frame letting window and model go.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "app/BoardsPanel.h"
#include "app/MenuLayout.h"
#include "app/WindowLayout.h"
#include "support/Rig.h"
#include "ui/win32/Win32BoardsWindow.h"
#include "ui/win32/Win32MainWindow.h"
#include "ui/win32/Win32Text.h"

namespace zrk::test {
namespace {

std::string ListLine(HWND list, int row)
{
    const LRESULT n = SendMessageW(list, LB_GETTEXTLEN, WPARAM(row), 0);
    if (n == LB_ERR)
        return "<none>";
    std::wstring text(std::size_t(n) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, WPARAM(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::size_t(n));
    return WideToUtf8(text);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

TEST(Win32Boards, TheToolsMenuOpensTheBoardsWindowWhichAssignsAndCloses)
{
    Rig rig;
    rig.boards.Plug(BoardKind::MotorControl, 12009, "PhidgetMotorControl HC");
    rig.Start("[PHIDGETS_SERIAL_NUMBERS]\r\nMOTOR_TRIM=12001\r\n");
    rig.host.RunFor(100);
    auto window = std::make_unique<Win32MainWindow>(*rig.form, GetModuleHandleW(nullptr));
    ASSERT_TRUE(window->Create());
    window->Show(SW_SHOWNOACTIVATE);

    const int id = MenuCommandId("tools_boards");
    ASSERT_NE(id, 0);
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Win32BoardsWindow* boards = window->Boards();
    ASSERT_NE(boards, nullptr);
    ASSERT_NE(rig.form->Boards(), nullptr);
    EXPECT_EQ(GetWindow(boards->Handle(), GW_OWNER), window->Handle());
    auto item = [&](const char* name) { return GetDlgItem(boards->Handle(), ControlId(BoardsPanel::Design(), name)); };
    for (const ControlDesign& c : BoardsPanel::Design().controls)
        EXPECT_NE(item(c.name.c_str()), nullptr) << c.name;

    HWND roles = item("RoleList"), found = item("BoardList"), assign = item("AssignButton");
    ASSERT_EQ(SendMessageW(found, LB_GETCOUNT, 0, 0), 1);
    EXPECT_NE(ListLine(found, 0).find("#12009"), std::string::npos) << ListLine(found, 0);
    int trim = -1;
    for (int i = 0; i < int(SendMessageW(roles, LB_GETCOUNT, 0, 0)); ++i)
        if (ListLine(roles, i).rfind("Trim wheel motor", 0) == 0)
            trim = i;
    ASSERT_GE(trim, 0);
    EXPECT_FALSE(IsWindowEnabled(assign));
    // A user's choice: the list's selection, then what it tells its window.
    for (const auto& [list, row] : {std::pair{roles, trim}, std::pair{found, 0}}) {
        SendMessageW(list, LB_SETCURSEL, WPARAM(row), 0);
        SendMessageW(boards->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }
    ASSERT_TRUE(IsWindowEnabled(assign));
    SendMessageW(assign, BM_CLICK, 0, 0);
    EXPECT_NE(ListLine(roles, trim).find("#12009 motor controller, attached"), std::string::npos)
        << ListLine(roles, trim);
    EXPECT_EQ(rig.form->Boards()->Pending().size(), 1u);

    // Closed by its frame: the window and its model go, after the message.
    SendMessageW(boards->Handle(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(window->Boards(), nullptr);
    EXPECT_EQ(rig.form->Boards(), nullptr);

    window.reset();
    rig.form->FormDestroy();
}

} // namespace
} // namespace zrk::test
