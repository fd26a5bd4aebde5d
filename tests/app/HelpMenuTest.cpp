// The menu bar's description and the Help menu's texts: every action is
// there once with an id of its own, and the texts say what a cockpit
// builder needs, in the words the window itself uses.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/HelpText.h"
#include "app/MenuLayout.h"
#include "app/TForm1.h"
#include "app/WindowLayout.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

bool Holds(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(MenuLayout, EveryActionHasOneItemWithAnIdOfItsOwnThatLeadsBackToIt)
{
    const MenuAction actions[] = {MenuAction::LightTheme, MenuAction::DarkTheme, MenuAction::About,
                                  MenuAction::OpenSettingsFolder, MenuAction::FirstStart, MenuAction::Boards,
                                  MenuAction::Charts};
    std::set<std::string> names;
    std::set<int> ids;
    std::size_t items = 0;
    for (const MenuDesign& menu : MainMenuLayout()) {
        EXPECT_TRUE(names.insert(menu.name).second) << menu.name;
        EXPECT_FALSE(menu.items.empty()) << menu.name;
        for (const MenuItemDesign& item : menu.items) {
            ++items;
            EXPECT_TRUE(names.insert(item.name).second) << item.name;
            EXPECT_NE(item.caption.find('&'), std::string::npos) << item.name << " has no mnemonic";
            const int id = MenuCommandId(item.name);
            EXPECT_TRUE(ids.insert(id).second) << item.name;
            EXPECT_EQ(MenuItemByCommandId(id), &item) << item.name;
        }
    }
    for (MenuAction a : actions) {
        int count = 0;
        for (const MenuDesign& menu : MainMenuLayout())
            for (const MenuItemDesign& item : menu.items)
                count += item.action == a;
        EXPECT_EQ(count, 1) << int(a);
        ASSERT_NE(FindMenuItem(a), nullptr) << int(a);
        EXPECT_EQ(FindMenuItem(a)->action, a);
    }
    EXPECT_EQ(items, std::size(actions));
    EXPECT_EQ(MenuCommandId("no_such_item"), 0);
    EXPECT_EQ(MenuItemByCommandId(kFirstMenuCommandId - 1), nullptr);
    EXPECT_EQ(MenuItemByCommandId(kFirstMenuCommandId + int(items)), nullptr);
}

TEST(MenuLayout, CommandIdsLieAboveEveryControlIdOfEveryForm)
{
    std::vector<const FormDesign*> forms{&MainWindowLayout()};
    for (const FormDesign& d : DialogLayouts())
        forms.push_back(&d);
    for (const FormDesign* f : forms)
        for (const ControlDesign& c : f->controls)
            EXPECT_LT(ControlId(*f, c.name), kFirstMenuCommandId) << f->name << "." << c.name;
    // Clear of the dialog commands (IDOK, IDCANCEL, ...) and inside a WORD.
    for (const MenuDesign& menu : MainMenuLayout())
        for (const MenuItemDesign& item : menu.items) {
            EXPECT_GT(MenuCommandId(item.name), 100) << item.name;
            EXPECT_LT(MenuCommandId(item.name), 0x10000) << item.name;
        }
}

TEST(HelpText, AboutNamesTheProgramItsVersionAndWhereTheLicenceIs)
{
    const HelpBox about = AboutBox();
    EXPECT_TRUE(Holds(about.title, kProgramName));
    EXPECT_TRUE(Holds(about.text, kProgramName));
    EXPECT_TRUE(Holds(about.text, std::string("Version ") + kVersion)) << about.text;
    EXPECT_TRUE(Holds(kCaption, kVersion)) << "the window's caption and the About disagree";
    EXPECT_TRUE(Holds(about.text, "LICENSE.txt"));
    EXPECT_TRUE(Holds(about.text, "without warranty"));
}

TEST(HelpText, AboutQuotesTheCopyrightOfTheLicenceFile)
{
    std::ifstream file(std::string(ZRK_SOURCE_DIR) + "/LICENSE");
    ASSERT_TRUE(file) << "LICENSE";
    std::string line;
    std::getline(file, line);   // the program's name
    EXPECT_EQ(line, kProgramName);
    std::getline(file, line);
    ASSERT_EQ(line.rfind("Copyright", 0), 0u) << line;
    EXPECT_TRUE(Holds(AboutBox().text, line)) << line;
}

TEST(HelpText, FirstStartStepsNameTheConfigFileInUseAndTheWindowsOwnWords)
{
    const std::string path = "C:\\Cockpit\\ZRK-TQ\\demo\\CONFIG.INI";
    const std::vector<std::string> steps = FirstStartSteps(path);
    ASSERT_GE(steps.size(), 5u);
    for (const std::string& s : steps)
        EXPECT_FALSE(s.empty());
    const HelpBox box = FirstStartBox(path);
    EXPECT_TRUE(Holds(box.text, path));
    EXPECT_TRUE(Holds(box.text, "1. "));
    EXPECT_TRUE(Holds(box.text, std::to_string(steps.size()) + ". "));
    EXPECT_TRUE(Holds(box.text, "phidget21"));
    EXPECT_TRUE(Holds(box.text, "NET_BRIDGE"));

    // The buttons, selectors and panels it tells of, as the window names
    // them: a renamed caption must show here.
    const FormDesign& main = MainWindowLayout();
    for (const char* control : {"Button4", "Button5", "Button1", "Button6", "Button10"}) {
        const ControlDesign* c = main.Find(control);
        ASSERT_NE(c, nullptr) << control;
        EXPECT_TRUE(Holds(box.text, "\"" + c->caption + "\"")) << c->caption;
    }
    const ControlDesign* mode = main.Find("mode");
    ASSERT_NE(mode, nullptr);
    for (const std::string& item : mode->items)
        EXPECT_TRUE(Holds(box.text, "\"" + item + "\"")) << item;
    const ControlDesign* test = main.Find("panel_test");
    ASSERT_NE(test, nullptr);
    EXPECT_TRUE(Holds(box.text, test->caption)) << test->caption;
    for (const MenuDesign& menu : MainMenuLayout())
        for (const MenuItemDesign& item : menu.items)
            if (item.action == MenuAction::OpenSettingsFolder) {
                std::string caption = item.caption;
                std::erase(caption, '&');
                EXPECT_TRUE(Holds(box.text, caption)) << caption;
            }
}

TEST(HelpText, TheSettingsFolderIsWhatHoldsTheFile)
{
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"/opt/zrk/CONFIG.INI", "/opt/zrk"},
        {"/opt/zrk/demo/CONFIG.INI", "/opt/zrk/demo"},
        {"C:\\Cockpit\\ZRK-TQ\\CONFIG.INI", "C:\\Cockpit\\ZRK-TQ"},
        {"C:\\Cockpit\\ZRK-TQ\\demo/CONFIG.INI", "C:\\Cockpit\\ZRK-TQ\\demo"},
        {"demo/CONFIG.INI", "demo"},
        {"CONFIG.INI", "."},
        {"/CONFIG.INI", "/"},
        {"C:\\CONFIG.INI", "C:\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsFolder(c.path), c.folder) << c.path;

    Rig rig;
    rig.Start(Config({}));
    EXPECT_EQ(SettingsFolder(rig.form->ConfigPath()), kExeFolder);
    rig.form->FormDestroy();
}

} // namespace
} // namespace zrk::test
