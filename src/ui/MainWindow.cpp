#include "ui/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <algorithm>
#include <cstdio>

#include "app/CalibrationDialogs.h"
#include "app/HelpText.h"
#include "app/MenuLayout.h"
#include "app/TForm1.h"
#include "app/WindowBinding.h"
#include "app/WindowLayout.h"
#include "ui/BoardsWindow.h"
#include "ui/ChartsWindow.h"
#include "ui/FormRenderer.h"
#include "ui/Widgets.h"

namespace zrk {

namespace {

// The form's height without its status bar, which the main window draws
// along its own bottom edge.
int CanvasHeight(const FormDesign& design)
{
    for (const ControlDesign& c : design.controls)
        if (c.kind == ControlKind::StatusBar)
            return c.bounds.top;
    return design.height;
}

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

WindowShell DesktopShell()
{
    WindowShell shell;
    shell.openUrl = [](const QUrl& folder) { return QDesktopServices::openUrl(folder); };
    shell.showText = [](QWidget* parent, const QString& title, const QString& text) {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    return shell;
}

} // namespace

// ---------------------------------------------------------------- DialogWindow

DialogWindow::DialogWindow(QWidget* parent, std::function<void()> onClose)
    : QDialog(parent), onClose_(std::move(onClose))
{
    setModal(false);
}

void DialogWindow::reject()
{
    if (onClose_)
        onClose_();
}

void DialogWindow::closeEvent(QCloseEvent* event)
{
    // Whether it hides is the controller's call: the next refresh follows
    // its model.
    event->ignore();
    if (onClose_)
        onClose_();
}

// ---------------------------------------------------------------- MainWindow

MainWindow::MainWindow(TForm1& form, WindowOptions options)
    : form_(form), options_(std::move(options)), shell_(DesktopShell())
{
    Theme theme = Theme::Light;
    if (options_.theme)
        theme = *options_.theme;
    else if (!options_.settingsFile.isEmpty())
        theme = WindowSettings(options_.settingsFile).LoadTheme();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        ApplyTheme(*app, theme);

    const FormDesign& layout = MainWindowLayout();
    const QSize design(layout.width, CanvasHeight(layout));
    auto* canvas = new AnchorArea(design, nullptr);
    canvas->setMinimumSize(design);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setWidget(canvas);
    setCentralWidget(scroll_);
    main_ = std::make_unique<FormRenderer>(layout, form_, *canvas, statusBar(), [this] { Refresh(); });

    for (const FormDesign& dd : DialogLayouts()) {
        DialogView d;
        d.model = BindDialog(form_, dd.name);
        const std::string close = ActionName(dd.name, dd.closeButton);
        d.window = new DialogWindow(this, [this, close] {
            form_.Click(close);
            Refresh();
        });
        d.window->setObjectName(QString::fromStdString(dd.name));
        auto* area = new AnchorArea(QSize(dd.width, dd.height), d.window);
        area->setGeometry(0, 0, dd.width, dd.height);
        d.window->setFixedSize(dd.width, dd.height);
        d.renderer = std::make_unique<FormRenderer>(dd, form_, *area, nullptr, [this] { Refresh(); });
        d.centred = dd.centred;
        d.left = dd.left;
        d.top = dd.top;
        dialogs_.push_back(std::move(d));
    }

    BuildMenu();
    SetTheme(theme, false);

    // Opens at its design size, or as much of it as the screen's work area
    // has room for, frame included, and on that screen; the canvas scrolls
    // when the window is smaller than the design.
    const QRect area = WorkArea(this);
    const QSize want = design + QSize(0, menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    resize(want.boundedTo(area.size() - FrameExtra(*this)));
    const QSize outer = size() + FrameExtra(*this);
    move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
    KeepWithin(*this, area);

    refresh_.setInterval(100);
    QObject::connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    refresh_.start();
    Refresh();
}

MainWindow::~MainWindow()
{
    // The Charts window's capture points into the window: its model goes
    // with it.
    CloseCharts();
}

void MainWindow::BuildMenu()
{
    for (const MenuDesign& m : MainMenuLayout()) {
        QMenu* menu = menuBar()->addMenu(Q(m.caption));
        menu->setObjectName(Q(m.name));
        std::map<std::string, QActionGroup*> choices;
        for (const MenuItemDesign& item : m.items) {
            QAction* a = menu->addAction(Q(item.caption));
            a->setObjectName(Q(item.name));
            if (!item.choiceGroup.empty()) {
                QActionGroup*& group = choices[item.choiceGroup];
                if (!group)
                    group = new QActionGroup(this);
                a->setCheckable(true);
                group->addAction(a);
            }
            const MenuAction action = item.action;
            QObject::connect(a, &QAction::triggered, this, [this, action] { Do(action); });
            menuItems_.emplace(item.name, a);
        }
    }
    light_ = MenuItem(FindMenuItem(MenuAction::LightTheme)->name);
    dark_ = MenuItem(FindMenuItem(MenuAction::DarkTheme)->name);
}

QAction* MainWindow::MenuItem(std::string_view name) const
{
    auto it = menuItems_.find(name);
    return it == menuItems_.end() ? nullptr : it->second;
}

void MainWindow::SetShell(WindowShell shell)
{
    const WindowShell desktop = DesktopShell();
    if (!shell.openUrl)
        shell.openUrl = desktop.openUrl;
    if (!shell.showText)
        shell.showText = desktop.showText;
    shell_ = std::move(shell);
}

void MainWindow::Do(MenuAction action)
{
    switch (action) {
    case MenuAction::LightTheme:
        SetTheme(Theme::Light, true);
        return;
    case MenuAction::DarkTheme:
        SetTheme(Theme::Dark, true);
        return;
    case MenuAction::About: {
        const HelpBox about = AboutBox();
        shell_.showText(this, Q(about.title), Q(about.text));
        return;
    }
    case MenuAction::FirstStart: {
        const HelpBox steps = FirstStartBox(form_.ConfigPath());
        shell_.showText(this, Q(steps.title), Q(steps.text));
        return;
    }
    case MenuAction::OpenSettingsFolder:
        OpenSettingsFolder();
        return;
    case MenuAction::Boards:
        OpenBoards();
        return;
    case MenuAction::Charts:
        OpenCharts();
        return;
    }
}

void MainWindow::OpenBoards()
{
    if (!boards_) {
        boards_ = new BoardsWindow(form_.OpenBoards(), [this] {
            // Closed by the user: the window goes, then its model.
            BoardsWindow* closed = boards_;
            boards_ = nullptr;
            closed->deleteLater();
            form_.CloseBoards();
            Refresh();
        }, this);
        // Centred on the main window, within its screen.
        const QRect area = WorkArea(this);
        const QSize size = boards_->sizeHint().boundedTo(area.size() - FrameExtra(*boards_));
        boards_->resize(size);
        const QPoint centre = frameGeometry().center();
        boards_->move(centre - QPoint(size.width() / 2, size.height() / 2));
        KeepWithin(*boards_, area);
    }
    boards_->show();
    boards_->raise();
    boards_->activateWindow();
}

void MainWindow::OpenCharts()
{
    if (!charts_) {
        charts_ = new ChartsWindow(form_.OpenCharts(), [this] {
            // Closed by the user: the window goes, then its model (and
            // with it the recording).
            ChartsWindow* closed = charts_;
            if (!closed)
                return;
            charts_ = nullptr;
            closed->deleteLater();
            form_.CloseCharts();
            Refresh();
        }, this);
        // Centred on the main window, within its screen.
        const QRect area = WorkArea(this);
        const QSize size = charts_->sizeHint().boundedTo(area.size() - FrameExtra(*charts_));
        charts_->resize(size);
        const QPoint centre = frameGeometry().center();
        charts_->move(centre - QPoint(size.width() / 2, size.height() / 2));
        KeepWithin(*charts_, area);
    }
    charts_->show();
    charts_->raise();
    charts_->activateWindow();
}

void MainWindow::CloseCharts()
{
    if (!charts_)
        return;
    ChartsWindow* open = charts_;
    charts_ = nullptr;
    delete open;
    form_.CloseCharts();
}

void MainWindow::OpenSettingsFolder()
{
    // The folder of the CONFIG.INI in use: the demo's in the virtual
    // cockpit.
    const QString folder = QDir(Q(SettingsFolder(form_.ConfigPath()))).absolutePath();
    if (shell_.openUrl(QUrl::fromLocalFile(folder)))
        return;
    form_.Log(FolderNotOpenedText(QDir::toNativeSeparators(folder).toStdString()));
    Refresh();
}

QAction* MainWindow::ThemeAction(Theme theme) const
{
    return theme == Theme::Dark ? dark_ : light_;
}

void MainWindow::SetTheme(Theme theme, bool store)
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        ApplyTheme(*app, theme);
    ThemeAction(theme)->setChecked(true);
    if (store && !options_.settingsFile.isEmpty() && !WindowSettings(options_.settingsFile).SaveTheme(theme)) {
        const QString why = QStringLiteral("The theme is not kept: %1 cannot be written.").arg(options_.settingsFile);
        statusBar()->showMessage(why, 8000);
        std::fprintf(stderr, "zrk-tq: %s\n", why.toLocal8Bit().constData());
    }
    // The panels and lamps paint from the theme's colours.
    for (QWidget* w : findChildren<QWidget*>())
        w->update();
    for (const DialogView& d : dialogs_)
        d.window->update();
}

QWidget* MainWindow::Widget(std::string_view formName, std::string_view control) const
{
    if (formName == main_->Design().name)
        return main_->Widget(control);
    for (const DialogView& d : dialogs_)
        if (d.renderer->Design().name == formName)
            return d.renderer->Widget(control);
    return nullptr;
}

DialogWindow* MainWindow::Dialog(std::string_view formName) const
{
    for (const DialogView& d : dialogs_)
        if (d.renderer->Design().name == formName)
            return d.window;
    return nullptr;
}

void MainWindow::SyncDialog(DialogView& d)
{
    d.renderer->Refresh();
    const QString title = QString::fromStdString(d.model->Caption);
    if (d.window->windowTitle() != title)
        d.window->setWindowTitle(title);
    if (d.model->Visible == d.window->isVisible())
        return;
    if (!d.model->Visible) {
        d.window->hide();
        return;
    }
    if (!d.placed) {
        // First showing: centred on the main window's screen, or at its
        // design place there.
        const QRect avail = WorkArea(this);
        if (d.centred)
            d.window->move(avail.center() - QPoint(d.window->width() / 2, d.window->height() / 2));
        else
            d.window->move(avail.topLeft() + QPoint(d.left, d.top));
        d.placed = true;
    }
    // Never off the screen, wherever it was left.
    KeepWithin(*d.window, WorkArea(this));
    d.window->show();
}

void MainWindow::Refresh()
{
    if (refreshing_)
        return;
    refreshing_ = true;
    const QString title = QString::fromStdString(form_.Caption);
    if (windowTitle() != title)
        setWindowTitle(title);
    main_->Refresh();
    for (DialogView& d : dialogs_)
        SyncDialog(d);
    refreshing_ = false;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!form_.FormCloseQuery()) {
        event->ignore();
        Refresh();
        return;
    }
    form_.FormClose();
    refresh_.stop();
    for (DialogView& d : dialogs_)
        d.window->hide();
    CloseCharts();
    event->accept();
}

} // namespace zrk
