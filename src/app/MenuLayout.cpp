#include "app/MenuLayout.h"

namespace zrk {

const std::vector<MenuDesign>& MainMenuLayout()
{
    static const std::vector<MenuDesign> menus = {
        {"menu_view",
         "&View",
         {
             {"view_light_theme", "&Light Theme", MenuAction::LightTheme, "theme"},
             {"view_dark_theme", "&Dark Theme", MenuAction::DarkTheme, "theme"},
         }},
        {"menu_tools",
         "&Tools",
         {
             {"tools_boards", "&Boards...", MenuAction::Boards, ""},
             {"tools_charts", "&Charts...", MenuAction::Charts, ""},
         }},
        {"menu_help",
         "&Help",
         {
             {"help_first_start", "&First Start", MenuAction::FirstStart, ""},
             {"help_open_settings_folder", "&Open Settings Folder", MenuAction::OpenSettingsFolder, ""},
             {"help_about", "&About", MenuAction::About, ""},
         }},
    };
    return menus;
}

const MenuItemDesign* FindMenuItem(MenuAction action)
{
    for (const MenuDesign& menu : MainMenuLayout())
        for (const MenuItemDesign& item : menu.items)
            if (item.action == action)
                return &item;
    return nullptr;
}

int MenuCommandId(std::string_view itemName)
{
    int place = 0;
    for (const MenuDesign& menu : MainMenuLayout())
        for (const MenuItemDesign& item : menu.items) {
            if (item.name == itemName)
                return kFirstMenuCommandId + place;
            ++place;
        }
    return 0;
}

const MenuItemDesign* MenuItemByCommandId(int id)
{
    int place = kFirstMenuCommandId;
    for (const MenuDesign& menu : MainMenuLayout())
        for (const MenuItemDesign& item : menu.items) {
            if (place == id)
                return &item;
            ++place;
        }
    return nullptr;
}

} // namespace zrk
