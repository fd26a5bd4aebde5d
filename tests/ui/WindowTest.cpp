// The window drawn from its description, on the real controller with
// virtual boards and time: widgets forward the user's actions to the
// controller, show its models, and never echo a refresh back as an action.
// Runs on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/HelpText.h"
#include "app/MenuLayout.h"
#include "app/WindowLayout.h"
#include "support/Rig.h"
#include "ui/BoardsWindow.h"
#include "ui/MainWindow.h"
#include "app/BoardsPanel.h"
#include <QListWidget>
#include "ui/Theme.h"
#include "ui/Widgets.h"
#include "drives/AutoThrottle.h"

namespace zrk::test {
namespace {

class WindowTest : public ::testing::Test {
protected:
    void Open(const std::string& config, std::optional<Theme> theme = Theme::Light)
    {
        rig.Start(config);
        window = std::make_unique<MainWindow>(*rig.form, WindowOptions{theme, SettingsFile()});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        if (rig.form)
            rig.form->FormDestroy();
    }
    QString SettingsFile() const { return dir.filePath(QStringLiteral("WINDOW.INI")); }

    template <class W>
    W* Get(const char* form, const char* control)
    {
        auto* w = qobject_cast<W*>(window->Widget(form, control));
        EXPECT_NE(w, nullptr) << form << "." << control;
        return w;
    }
    QRadioButton* Radio(const char* group, int item)
    {
        QWidget* box = window->Widget("Form1", group);
        return box ? box->findChild<QRadioButton*>(QString("%1.%2").arg(group).arg(item)) : nullptr;
    }
    // A click on the radio button's indicator.
    void Select(const char* group, int item)
    {
        QRadioButton* r = Radio(group, item);
        ASSERT_NE(r, nullptr);
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(8, r->height() / 2));
    }
    void Click(const char* form, const char* button)
    {
        QPushButton* b = Get<QPushButton>(form, button);
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(b->isVisible()) << form << "." << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    std::string Text(const char* form, const char* label)
    {
        QLabel* l = Get<QLabel>(form, label);
        return l ? l->text().toStdString() : std::string("<none>");
    }
    TForm1& Form() { return *rig.form; }

    Rig rig;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
};

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
    std::vector<Capture> all = {
        {"Button4", "Form2", "Button1", bars(1, 901), &Settings::THROTTLE_4_FULL, 904, "Label4"},
        {"Button4", "Form2", "Button2", bars(1, 101), &Settings::THROTTLE_2_IDLE, 102, "Label6"},
        {"Button5", "Form3", "Button1", bars(5, 111), &Settings::REVERSER_2_OFF, 112, "Label2"},
        {"Button5", "Form3", "Button4", bars(5, 401), &Settings::REVERSER_1_IDLE, 401, "Label13"},
        {"Button5", "Form3", "Button2", bars(5, 801), &Settings::REVERSER_2_FULL, 802, "Label6"},
        {"Button6", "Form5", "Button1", speedbrakeLever, &Settings::SPEEDBRAKE_DN, 333, "Label2"},
        {"Button6", "Form5", "Button4", speedbrakeLever, &Settings::SPEEDBRAKE_ARM, 333, "Label14"},
        {"Button6", "Form5", "Button2", speedbrakeLever, &Settings::SPEEDBRAKE_UP, 333, "Label6"},
    };
    // Each flap detent's SET takes the live reading, its CLEAR returns it to 0.
    struct Detent {
        const char *set, *clear, *value;
        int Settings::*setting;
    };
    static const Detent detents[] = {
        {"Button1", "Button2", "Label1", &Settings::FLAP_UP},    {"Button4", "Button5", "Label2", &Settings::FLAP_1},
        {"Button6", "Button7", "Label3", &Settings::FLAP_2},     {"Button8", "Button9", "Label4", &Settings::FLAP_5},
        {"Button10", "Button11", "Label5", &Settings::FLAP_10},  {"Button14", "Button13", "Label6", &Settings::FLAP_15},
        {"Button23", "Button22", "Label24", &Settings::FLAP_17}, {"Button25", "Button24", "Label26", &Settings::FLAP_18},
        {"Button12", "Button15", "Label7", &Settings::FLAP_20},  {"Button16", "Button17", "Label8", &Settings::FLAP_25},
        {"Button18", "Button19", "Label19", &Settings::FLAP_30}, {"Button20", "Button21", "Label20", &Settings::FLAP_40},
    };
    for (const Detent& d : detents) {
        all.push_back({"Button1", "Form4", d.set, flapLever, d.setting, 412, d.value});
        const auto setting = d.setting;
        all.push_back({"Button1", "Form4", d.clear, [setting](TForm1& f) { f.cfg.*setting = 77; }, d.setting, 0,
                       d.value});
    }
    return all;
}

TEST_F(WindowTest, EveryCaptureButtonStoresItsValueShowsItAndMarksTheChange)
{
    Open(Config({}));
    for (const Capture& c : Captures()) {
        SCOPED_TRACE(std::string(c.dialog) + "." + c.button);
        Click("Form1", c.opener);
        c.arrange(Form());
        Form().ConfigChanged = false;
        Click(c.dialog, c.button);
        EXPECT_EQ(Form().cfg.*c.setting, c.expected);
        EXPECT_TRUE(Form().ConfigChanged);
        EXPECT_EQ(Text(c.dialog, c.valueLabel), std::to_string(c.expected));
        Click(c.dialog, "Button3");   // CLOSE
    }
}

TEST_F(WindowTest, DialogsAreModelessAndCloseThroughTheirCloseButton)
{
    Open(Config({}));
    Click("Form1", "Button4");
    QWidget* throttles = window->Dialog("Form2");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(throttles));
    EXPECT_FALSE(throttles->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(throttles->windowTitle(), QStringLiteral("Throttle Calibration"));

    // The main window keeps working while a dialog is open.
    Click("Form1", "Button1");
    Click("Form1", "Button5");
    EXPECT_TRUE(window->Dialog("Form4")->isVisible());
    EXPECT_TRUE(window->Dialog("Form3")->isVisible());
    EXPECT_TRUE(throttles->isVisible());
    Select("mode", 1);
    EXPECT_EQ(Form().mode.ItemIndex, 1);

    // CLOSE, the window frame's close and Escape all hide the dialog
    // through the controller.
    Click("Form2", "Button3");
    EXPECT_FALSE(Form().Form2.Visible);
    EXPECT_FALSE(throttles->isVisible());
    window->Dialog("Form4")->close();
    EXPECT_FALSE(Form().Form4.Visible);
    EXPECT_FALSE(window->Dialog("Form4")->isVisible());
    QTest::keyClick(window->Dialog("Form3"), Qt::Key_Escape);
    EXPECT_FALSE(Form().Form3.Visible);
    EXPECT_FALSE(window->Dialog("Form3")->isVisible());
    EXPECT_TRUE(window->isVisible());
}

// ---------------------------------------------------------------- test panel

std::string ThrottleTwoCalibrated()
{
    return Config({{"THROTTLES", "THROTTLE_2_IDLE", "100"}, {"THROTTLES", "THROTTLE_2_FULL", "900"}});
}

TEST_F(WindowTest, ASliderDraggedInTestFsReachesTheLeverHandler)
{
    // What a raw reading of 500 on main-card input 1 gives.
    Rig reference;
    reference.Start(ThrottleTwoCalibrated());
    reference.form->PhidgetInterfaceKit2SensorChange(1, 500);
    const int16_t expected = reference.form->throttle_out_2;
    ASSERT_NE(expected, 0);
    reference.form->FormDestroy();

    Open(ThrottleTwoCalibrated());
    QSlider* slider = Get<QSlider>("Form1", "TrackBar2");
    ASSERT_NE(slider, nullptr);
    // In AUTOMATIC a dragged slider computes nothing.
    slider->setValue(500);
    EXPECT_EQ(Form().throttle_out_2, 0);

    Select("mode", 0);
    slider->setValue(0);
    Select("mode", 1);
    ASSERT_EQ(Form().mode.ItemIndex, 1);
    // By keyboard: ten pages of 50 from 0.
    slider->setFocus();
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(Form().TrackBar(2).Position, 500);
    EXPECT_EQ(Form().throttle_out_2, expected);
    EXPECT_EQ(Text("Form1", "Label2"), "500");
}

TEST_F(WindowTest, The747ShowsTheControlsOfLevers3And4)
{
    Open(Config({}));
    const char* const levers34[] = {"TrackBar3", "TrackBar4", "TrackBar7", "TrackBar8", "Label11", "Label12",
                                    "Label15",   "Label16",   "Label3",    "Label4",    "Label7",  "Label8",
                                    "Label24",   "Label25",   "Label28",   "Label29",   "Label64", "Label65",
                                    "Label72",   "Label73"};
    auto shown = [&](const char* name) { return window->Widget("Form1", name)->isVisibleTo(window.get()); };
    for (const char* name : levers34)
        EXPECT_FALSE(shown(name)) << name << " on the 777";
    EXPECT_TRUE(shown("TrackBar2"));

    Select("aircraft_type", 2);
    EXPECT_EQ(Form().aircraft_type.ItemIndex, 2);
    EXPECT_TRUE(Form().ConfigChanged);
    for (const char* name : levers34)
        EXPECT_TRUE(shown(name)) << name << " on the 747";

    Select("aircraft_type", 1);
    for (const char* name : levers34)
        EXPECT_FALSE(shown(name)) << name << " on the 737";
}

// ---------------------------------------------------------------- refresh

TEST_F(WindowTest, ARefreshShowsTheModelsAndIsNeverTakenForAUserAction)
{
    Open(Config({}));
    ASSERT_FALSE(Form().ConfigChanged);
    // Changes a handler makes, each of which would be an action if the
    // widgets echoed them back.
    Form().mode.ItemIndex = 1;
    Form().aircraft_type.ItemIndex = 2;
    Form().TrackBar(1).Position = 300;
    Form().UpDown2.Position = 7;
    Form().p_pid_p.Text = "42";
    Form().manual_override.Checked = true;
    Form().Label(59).Caption = "DEPLOY";
    Form().fuel2.BrushColor = 255;
    window->Refresh();

    EXPECT_TRUE(Radio("mode", 1)->isChecked());
    EXPECT_TRUE(Radio("aircraft_type", 2)->isChecked());
    EXPECT_EQ(Get<QSlider>("Form1", "TrackBar1")->value(), 300);
    EXPECT_EQ(Get<QSpinBox>("Form1", "UpDown2")->value(), 7);
    EXPECT_EQ(Get<QLineEdit>("Form1", "p_pid_p")->text(), QStringLiteral("42"));
    EXPECT_TRUE(Get<QCheckBox>("Form1", "manual_override")->isChecked());
    EXPECT_EQ(Text("Form1", "Label59"), "DEPLOY");
    EXPECT_FALSE(Form().ConfigChanged);
    EXPECT_EQ(Form().throttle_out_1, 0);
    EXPECT_EQ(Form().cfg.TRIM_NULL_ZONE, 0.04);
}

TEST_F(WindowTest, LabelsShowTheirDesignTextUntilAHandlerWritesThem)
{
    Open(Config({}));
    EXPECT_EQ(Text("Form1", "Label11"), "Throttle 3");
    EXPECT_EQ(Text("Form2", "Label9"), "Throttle 1");
    EXPECT_EQ(Text("Form4", "Label21"), "0");
    Form().Form2.Label(9).Caption = "512";
    window->Refresh();
    EXPECT_EQ(Text("Form2", "Label9"), "512");
}

TEST_F(WindowTest, TuningControlsWorkFromTheKeyboard)
{
    Open(Config({}));
    QSpinBox* nullZone = Get<QSpinBox>("Form1", "UpDown2");
    ASSERT_EQ(nullZone->value(), 4);
    nullZone->setFocus();
    QTest::keyClick(nullZone, Qt::Key_Up);
    EXPECT_EQ(Form().UpDown2.Position, 5);
    EXPECT_DOUBLE_EQ(Form().cfg.TRIM_NULL_ZONE, 0.05);
    EXPECT_TRUE(Form().ConfigChanged);
    EXPECT_EQ(Text("Form1", "Label41"), "0.05");

    QSpinBox* delay = Get<QSpinBox>("Form1", "UpDown3");
    const int before = Form().UpDown3.Position;
    QTest::keyClick(delay, Qt::Key_Up);
    EXPECT_EQ(Form().UpDown3.Position, before + 100);

    QLineEdit* gain = Get<QLineEdit>("Form1", "p_pid_d");
    gain->setFocus();
    gain->selectAll();
    QTest::keyClicks(gain, "abc");
    EXPECT_EQ(Form().p_pid_d.Text, "abc");

    // Every control that takes input can be reached with Tab.
    for (const ControlDesign& c : MainWindowLayout().controls) {
        const bool input = c.kind == ControlKind::Button || c.kind == ControlKind::TrackBar
                           || c.kind == ControlKind::UpDown || c.kind == ControlKind::Edit
                           || c.kind == ControlKind::CheckBox;
        if (input) {
            EXPECT_TRUE(window->Widget("Form1", c.name)->focusPolicy() & Qt::TabFocus) << c.name;
        }
    }
    EXPECT_TRUE(Radio("mode", 0)->focusPolicy() & Qt::TabFocus);
}

TEST_F(WindowTest, TheMouseWheelPassingOverASliderOrUpDownMovesNothing)
{
    Open(Config({}));
    Select("mode", 1);
    Form().ConfigChanged = false;
    for (const char* name : {"TrackBar1", "UpDown5"}) {
        QWidget* w = window->Widget("Form1", name);
        ASSERT_FALSE(w->hasFocus());
        QWheelEvent wheel(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &wheel);
    }
    EXPECT_EQ(Form().TrackBar(1).Position, 0);
    EXPECT_EQ(Form().UpDown5.Position, Form().cfg.MOTOR_SPEED_MAX);
    EXPECT_FALSE(Form().ConfigChanged);
}

TEST_F(WindowTest, TheLogFollowsTheNewestLineUnlessScrolledBack)
{
    Open(Config({}));
    for (int i = 0; i < 300; ++i)
        Form().Log("line " + std::to_string(i));
    window->Refresh();
    QApplication::processEvents();
    auto* memo = Get<QPlainTextEdit>("Form1", "Memo1");
    QScrollBar* bar = memo->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(memo->toPlainText().endsWith(QStringLiteral("line 299")));

    // Scrolled back by the user: new lines do not pull the view away.
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    Form().Log("one more");
    window->Refresh();
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
    // Back at the end, it follows again.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    Form().Log("and another");
    window->Refresh();
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(WindowTest, LongLogLinesWrapSoTheLogNeverOpensScrolledSideways)
{
    Open(Config({}));
    Form().Log("Board library libphidget21.so.0 not found " + std::string(300, 'x') + " - boards stay idle");
    for (int i = 0; i < 60; ++i)
        Form().Log("line " + std::to_string(i));
    window->Refresh();
    QApplication::processEvents();
    auto* memo = Get<QPlainTextEdit>("Form1", "Memo1");
    EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(memo->horizontalScrollBar()->value(), 0);
    // Every line starts at the left edge, its time first.
    const QTextCursor longLine(memo->document()->findBlockByNumber(1));
    EXPECT_LT(memo->cursorRect(longLine).left(), 12);
    EXPECT_EQ(memo->verticalScrollBar()->value(), memo->verticalScrollBar()->maximum());
}

// ---------------------------------------------------------------- window

TEST_F(WindowTest, EveryControlOfTheDescriptionIsDrawn)
{
    Open(Config({}));
    for (const FormDesign* f : {&MainWindowLayout()}) {
        for (const ControlDesign& c : f->controls)
            EXPECT_NE(window->Widget(f->name, c.name), nullptr) << c.name;
    }
    for (const FormDesign& f : DialogLayouts())
        for (const ControlDesign& c : f.controls)
            EXPECT_NE(window->Widget(f.name, c.name), nullptr) << f.name << "." << c.name;
    // The "Manual Override" panel is not shown in the shipped layout.
    EXPECT_FALSE(window->Widget("Form1", "panel_override")->isVisibleTo(window.get()));
    EXPECT_FALSE(window->Widget("Form1", "manual_override")->isVisibleTo(window.get()));
}

TEST_F(WindowTest, ResizingStretchesTheSlidersAndTheLog)
{
    Open(Config({}));
    window->resize(1340, 700);
    QApplication::processEvents();
    QWidget* memo = window->Widget("Form1", "Memo1");
    QWidget* slider = window->Widget("Form1", "TrackBar1");
    QWidget* save = window->Widget("Form1", "Button10");
    const QSize memoBefore = memo->size();
    const int sliderBefore = slider->width();
    const QPoint saveBefore = save->mapTo(window.get(), QPoint(0, 0));

    window->resize(1540, 860);
    QApplication::processEvents();
    EXPECT_EQ(memo->width(), memoBefore.width() + 200);
    EXPECT_EQ(memo->height(), memoBefore.height() + 160);
    EXPECT_EQ(slider->width(), sliderBefore + 200);
    EXPECT_EQ(save->mapTo(window.get(), QPoint(0, 0)), saveBefore + QPoint(200, 160));
}

// The mean lightness of a widget's middle, where a lamp's lens is.
int MiddleLightness(QWidget* w)
{
    const QImage image = w->grab().toImage();
    int sum = 0, n = 0;
    for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y)
        for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x, ++n)
            sum += image.pixelColor(x, y).lightness();
    return n ? sum / n : 0;
}

// Whether an image holds a pixel of about this colour.
bool Holds(const QImage& image, const QColor& c)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) + std::abs(p.blue() - c.blue()) < 40)
                return true;
        }
    return false;
}

TEST_F(WindowTest, OnTheDarkThemeAnUnlitLampLooksUnlitAndTheSelectedItemStandsOut)
{
    Open(Config({}), Theme::Dark);
    auto* fire = dynamic_cast<Lamp*>(window->Widget("Form1", "Shape3"));
    ASSERT_NE(fire, nullptr);
    Form().Shape3.BrushColor = kLampGrey;
    window->Refresh();
    const int unlit = MiddleLightness(fire);
    Form().Shape3.BrushColor = kLampRed;
    window->Refresh();
    const int lit = MiddleLightness(fire);
    EXPECT_LT(unlit + 30, lit) << "unlit " << unlit << ", lit " << lit;
    // And lighter than the panel it sits on, so it shows as a lamp.
    EXPECT_GT(unlit, ColorsOf(Theme::Dark).panel.lightness());

    // The selected aircraft type's text is in the accent colour, the
    // others' not.
    const QColor accent = ColorsOf(Theme::Dark).accent;
    ASSERT_TRUE(Radio("aircraft_type", 0)->isChecked());
    EXPECT_TRUE(Holds(Radio("aircraft_type", 0)->grab().toImage(), accent));
    EXPECT_FALSE(Holds(Radio("aircraft_type", 1)->grab().toImage(), accent));
}

TEST_F(WindowTest, TheStatusBarShowsTheBridgeAndTheBoardsBesideTheSimulator)
{
    Open(Config({}));
    rig.host.RunFor(1100);
    window->Refresh();
    for (const auto& [part, text] : {std::pair{"StatusBar1.bridge", &Form().StatusBar1.BridgeText},
                                     std::pair{"StatusBar1.boards", &Form().StatusBar1.BoardsText}}) {
        auto* label = window->statusBar()->findChild<QLabel*>(QString::fromLatin1(part));
        ASSERT_NE(label, nullptr) << part;
        EXPECT_FALSE(text->empty()) << part;
        EXPECT_EQ(label->text().toStdString(), *text) << part;
        EXPECT_TRUE(label->isVisible()) << part;
    }
}

TEST_F(WindowTest, TheThemeComesFromTheMenuOrTheCommandLineAndStaysOutOfConfigIni)
{
    Open(Config({}), std::nullopt);
    const std::string config = rig.ConfigFile();
    EXPECT_EQ(CurrentTheme(), Theme::Light);
    window->ThemeAction(Theme::Dark)->trigger();
    EXPECT_EQ(CurrentTheme(), Theme::Dark);
    EXPECT_EQ(WindowSettings(SettingsFile()).LoadTheme(), Theme::Dark);
    EXPECT_EQ(rig.ConfigFile(), config);

    // The stored choice opens the next window; a theme named on the
    // command line wins for its run and is not stored.
    window.reset();
    window = std::make_unique<MainWindow>(Form(), WindowOptions{std::nullopt, SettingsFile()});
    EXPECT_EQ(CurrentTheme(), Theme::Dark);
    EXPECT_TRUE(window->ThemeAction(Theme::Dark)->isChecked());
    window.reset();
    window = std::make_unique<MainWindow>(Form(), WindowOptions{Theme::Light, SettingsFile()});
    EXPECT_EQ(CurrentTheme(), Theme::Light);
    EXPECT_EQ(WindowSettings(SettingsFile()).LoadTheme(), Theme::Dark);
}

// ---------------------------------------------------------------- the Help menu

// What the Help menu asked of the desktop, in place of the desktop.
struct ShellRecord {
    std::vector<QUrl> opened;
    bool opens = true;
    std::vector<std::pair<QString, QString>> boxes;   // title, text

    WindowShell Shell()
    {
        WindowShell shell;
        shell.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return opens;
        };
        shell.showText = [this](QWidget*, const QString& title, const QString& text) {
            boxes.emplace_back(title, text);
        };
        return shell;
    }
};

TEST_F(WindowTest, TheMenuBarHoldsTheDescribedMenusAndItems)
{
    Open(Config({}));
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), qsizetype(MainMenuLayout().size()));
    for (std::size_t m = 0; m < MainMenuLayout().size(); ++m) {
        const MenuDesign& design = MainMenuLayout()[m];
        QMenu* menu = menus[qsizetype(m)]->menu();
        ASSERT_NE(menu, nullptr) << design.name;
        EXPECT_EQ(menu->objectName().toStdString(), design.name);
        EXPECT_EQ(menu->title().toStdString(), design.caption);
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), qsizetype(design.items.size())) << design.name;
        for (std::size_t i = 0; i < design.items.size(); ++i) {
            EXPECT_EQ(items[qsizetype(i)]->objectName().toStdString(), design.items[i].name);
            EXPECT_EQ(items[qsizetype(i)]->text().toStdString(), design.items[i].caption);
            EXPECT_EQ(items[qsizetype(i)], window->MenuItem(design.items[i].name));
        }
    }
    QMenu* help = window->menuBar()->findChild<QMenu*>(QStringLiteral("menu_help"));
    ASSERT_NE(help, nullptr);
    std::set<std::string> names;
    for (QAction* a : help->actions())
        names.insert(a->objectName().toStdString());
    EXPECT_EQ(names, (std::set<std::string>{"help_about", "help_open_settings_folder", "help_first_start"}));
    EXPECT_EQ(window->MenuItem("no_such_item"), nullptr);
}

TEST_F(WindowTest, AboutAndFirstStartShowTheirTextsInABox)
{
    Open(Config({}));
    ShellRecord shell;
    window->SetShell(shell.Shell());
    window->MenuItem("help_about")->trigger();
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_TRUE(shell.boxes[0].first.contains(QString::fromLatin1(kProgramName)));
    EXPECT_TRUE(shell.boxes[0].second.contains(QStringLiteral("Version ") + QString::fromLatin1(kVersion)));
    EXPECT_TRUE(shell.boxes[0].second.contains(QStringLiteral("LICENSE")));

    window->MenuItem("help_first_start")->trigger();
    ASSERT_EQ(shell.boxes.size(), 2u);
    EXPECT_EQ(shell.boxes[1].second.toStdString(), FirstStartBox(kConfigPath).text);
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(WindowTest, AboutOpensAModalBoxOfPlainTextThatOkCloses)
{
    Open(Config({}));
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    window->MenuItem("help_about")->trigger();
    EXPECT_TRUE(shown.contains(QString::fromLatin1(kVersion))) << shown.toStdString();
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WindowTest, OpenSettingsFolderAsksForTheConfigFilesFolderAndLogsAFailure)
{
    Open(Config({}));
    ShellRecord shell;
    window->SetShell(shell.Shell());
    window->MenuItem("help_open_settings_folder")->trigger();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_TRUE(shell.opened[0].isLocalFile());
    EXPECT_EQ(shell.opened[0].toLocalFile().toStdString(), kExeFolder);
    EXPECT_FALSE(rig.Logged(FolderNotOpenedText(kExeFolder)));

    // A desktop that cannot open it: the log says so, with the folder.
    shell.opens = false;
    window->MenuItem("help_open_settings_folder")->trigger();
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_TRUE(rig.Logged(FolderNotOpenedText(kExeFolder)));
    auto* log = Get<QPlainTextEdit>("Form1", "Memo1");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->toPlainText().contains(QString::fromStdString(FolderNotOpenedText(kExeFolder))));
    EXPECT_TRUE(shell.boxes.empty());
}

TEST(ThemeNames, AreReadInAnyCaseAndNothingElse)
{
    EXPECT_EQ(ParseTheme(QStringLiteral("Dark")), Theme::Dark);
    EXPECT_EQ(ParseTheme(QStringLiteral(" light ")), Theme::Light);
    EXPECT_EQ(ParseTheme(QStringLiteral("blue")), std::nullopt);
    EXPECT_EQ(ParseTheme(QString()), std::nullopt);
}

TEST(WindowSettingsFile, AnUnreadableOrStrangeFileGivesTheLightTheme)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("WINDOW.INI"));
    EXPECT_EQ(WindowSettings(path).LoadTheme(), Theme::Light);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Window]\nTheme=purple\n");
    f.close();
    EXPECT_EQ(WindowSettings(path).LoadTheme(), Theme::Light);
    // A folder where the file should be: the choice cannot be kept.
    EXPECT_FALSE(WindowSettings(dir.path()).SaveTheme(Theme::Dark));
}


TEST_F(WindowTest, TheBoardsWindowListsAssignsAndClosesThroughItsModel)
{
    rig.boards.Plug(BoardKind::MotorControl, 12009, "PhidgetMotorControl HC");
    Open("[PHIDGETS_SERIAL_NUMBERS]\r\nMOTOR_TRIM=12001\r\n");
    rig.host.RunFor(100);
    QAction* item = window->MenuItem("tools_boards");
    ASSERT_NE(item, nullptr);
    item->trigger();
    BoardsWindow* boards = window->Boards();
    ASSERT_NE(boards, nullptr);
    ASSERT_NE(Form().Boards(), nullptr);
    EXPECT_TRUE(boards->isVisible());
    // The lists show the model's lines; choosing a line reaches the model.
    auto* roles = qobject_cast<QListWidget*>(boards->Widget("RoleList"));
    auto* found = qobject_cast<QListWidget*>(boards->Widget("BoardList"));
    ASSERT_TRUE(roles && found);
    ASSERT_EQ(found->count(), 1);
    EXPECT_TRUE(found->item(0)->text().contains(QStringLiteral("#12009"))) << found->item(0)->text().toStdString();
    int trim = -1;
    for (int i = 0; i < roles->count(); ++i)
        if (roles->item(i)->text().startsWith(QStringLiteral("Trim wheel motor")))
            trim = i;
    ASSERT_GE(trim, 0);
    auto* assign = qobject_cast<QPushButton*>(boards->Widget("AssignButton"));
    ASSERT_NE(assign, nullptr);
    EXPECT_FALSE(assign->isEnabled());
    roles->setCurrentRow(trim);
    found->setCurrentRow(0);
    ASSERT_TRUE(assign->isEnabled());
    QTest::mouseClick(assign, Qt::LeftButton);
    EXPECT_TRUE(roles->item(trim)->text().contains(QStringLiteral("#12009 motor controller, attached")))
        << roles->item(trim)->text().toStdString();
    EXPECT_EQ(Form().Boards()->Pending().size(), 1u);

    // Closed by its frame: the window and its model go.
    boards->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->Boards(), nullptr);
    EXPECT_EQ(Form().Boards(), nullptr);
}

} // namespace
} // namespace zrk::test

int main(int argc, char** argv)
{
    // Headless whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
