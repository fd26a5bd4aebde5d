#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zrk {

// The main window's menu bar described once, as plain data, like its
// controls (WindowLayout.h): each menu with its items, each item with its
// name, its caption and the action it stands for. The renderers build their
// menu bars from it and decide nothing about its contents; a renderer that
// cannot do an action (the Windows program has one colour scheme) leaves
// that item out, and a menu left empty.
//
// Captions mark the key of a mnemonic with '&', as both toolkits read it.

enum class MenuAction {
    LightTheme,           // the window's light colours
    DarkTheme,            // the window's dark colours
    About,                // the program's name, version and licence
    OpenSettingsFolder,   // the folder of the CONFIG.INI in use, in the file manager
    FirstStart,           // the steps of a first start
    Boards,               // the Boards window: find, assign and check the boards
    Charts,               // the Charts window: the drives' values over time
};

struct MenuItemDesign {
    std::string name;      // unique across the menu bar: "help_about"
    std::string caption;   // "&About"
    MenuAction action = MenuAction::About;
    // Items of one non-empty choice group are exclusive: one of them is
    // checked (the theme in use).
    std::string choiceGroup;
};

struct MenuDesign {
    std::string name;      // "menu_view", "menu_help"
    std::string caption;   // "&View"
    std::vector<MenuItemDesign> items;
};

// The main window's menus, left to right: View, Tools, Help.
const std::vector<MenuDesign>& MainMenuLayout();

// The item standing for `action`; nullptr when the menu bar has none.
const MenuItemDesign* FindMenuItem(MenuAction action);

// The command id of a menu item in a native window: kFirstMenuCommandId
// plus its place in the menu bar, counted across the menus from the left;
// 0 for a name the menu bar does not have. Apart from the controls' ids
// (ControlId, RadioItemId, UpDownBuddyId), so that a test or another
// program finds an item by its name with GetMenuItemInfo.
inline constexpr int kFirstMenuCommandId = 0x7000;
int MenuCommandId(std::string_view itemName);
// The item with that command id; nullptr for another id.
const MenuItemDesign* MenuItemByCommandId(int id);

} // namespace zrk
