#pragma once
#include <QDialog>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Theme.h"

class QAction;
class QScrollArea;

namespace zrk {

class BoardsWindow;
class ChartsWindow;

class AnchorArea;
class CalibrationDialog;
class FormRenderer;
class TForm1;
enum class MenuAction;

// What the Help menu does outside the window: the desktop's file manager
// and modal boxes of text. Tests put stand-ins here, so that they open no
// file manager and wait on no box; an empty one is the real thing.
struct WindowShell {
    // Asks the desktop to open a local folder; false when it could not.
    std::function<bool(const QUrl& folder)> openUrl;
    // A box of plain text with an OK button.
    std::function<void(QWidget* parent, const QString& title, const QString& text)> showText;
};

struct WindowOptions {
    // A theme named on the command line: used for this run, not stored.
    std::optional<Theme> theme;
    // The window's own settings file (the theme chosen from the menu);
    // empty: nothing is read or stored.
    QString settingsFile;
};

// A calibration dialog's window. Closing it by its frame or with Escape
// stands for its CLOSE button, so the controller's model says whether it
// shows.
class DialogWindow : public QDialog {
public:
    DialogWindow(QWidget* parent, std::function<void()> onClose);
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void()> onClose_;
};

// The controller's main window and its calibration dialogs, drawn from the
// window description. It forwards the user's actions to the controller and
// shows the controller's models; it keeps no state of its own beyond what
// it has drawn and the theme.
class MainWindow : public QMainWindow {
public:
    explicit MainWindow(TForm1& form, WindowOptions options = {});
    ~MainWindow() override;

    // Brings every widget of every form in line with the models; runs ten
    // times a second and after each action.
    void Refresh();

    // The widget of a control ("Form1", "Button4"); nullptr if none.
    QWidget* Widget(std::string_view formName, std::string_view control) const;
    // The window of dialog "Form2" .. "Form5"; nullptr for another name.
    DialogWindow* Dialog(std::string_view formName) const;
    QScrollArea* Canvas() const { return scroll_; }

    // Switches the theme; `store` keeps the choice in the settings file.
    void SetTheme(Theme theme, bool store);
    QAction* ThemeAction(Theme theme) const;

    // The menu bar's item of that name in the menu description
    // (MenuLayout.h); nullptr if none.
    QAction* MenuItem(std::string_view name) const;
    void SetShell(WindowShell shell);
    // The Boards window while it is open; nullptr otherwise.
    BoardsWindow* Boards() const { return boards_; }
    // The Charts window while it is open; nullptr otherwise.
    ChartsWindow* Charts() const { return charts_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct DialogView {
        const CalibrationDialog* model = nullptr;
        DialogWindow* window = nullptr;
        std::unique_ptr<FormRenderer> renderer;
        bool centred = false;
        int left = 0, top = 0;
        bool placed = false;
    };
    void BuildMenu();
    void Do(MenuAction action);
    void OpenSettingsFolder();
    void OpenBoards();
    void OpenCharts();
    // The Charts window and its model go, as the main window closes.
    void CloseCharts();
    void SyncDialog(DialogView& d);

    TForm1& form_;
    WindowOptions options_;
    QScrollArea* scroll_ = nullptr;
    std::unique_ptr<FormRenderer> main_;
    std::vector<DialogView> dialogs_;
    QAction* light_ = nullptr;
    QAction* dark_ = nullptr;
    std::map<std::string, QAction*, std::less<>> menuItems_;
    WindowShell shell_;
    BoardsWindow* boards_ = nullptr;
    ChartsWindow* charts_ = nullptr;
    QTimer refresh_;
    bool refreshing_ = false;
};

} // namespace zrk
