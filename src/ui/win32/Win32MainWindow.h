#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace zrk {

class CalibrationDialog;
class TForm1;
class Win32BoardsWindow;
class Win32ChartsWindow;
class Win32FormRenderer;
enum class MenuAction;

// What the Help menu does outside the window: the file manager and modal
// boxes of text. Tests put stand-ins here, so that they start no file
// manager and wait on no box; an empty one is the real thing.
struct Win32Shell {
    // Opens a folder in the file manager (ShellExecuteW "open"); false
    // when it could not.
    std::function<bool(HWND owner, const std::wstring& folder)> openFolder;
    // A box of text with an OK button (MessageBoxW).
    std::function<void(HWND owner, const std::wstring& title, const std::wstring& text)> showText;
};

// The window class of the main window and of the calibration dialogs, so
// that another program finds them with FindWindowW(kFormWindowClass, title).
inline constexpr const wchar_t* kFormWindowClass = L"ZrkTqForm";

// The controller's main window and its four calibration dialogs as native
// windows, drawn from the window description. It forwards the user's
// actions to the controller and shows the controller's models; it keeps no
// state of its own beyond what it has drawn. The dialogs are modeless
// windows owned by the main window, shown and hidden as the controller's
// dialog models say.
class Win32MainWindow {
public:
    Win32MainWindow(TForm1& form, HINSTANCE instance);
    ~Win32MainWindow();
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Builds the main window and the four dialogs, all hidden; false on
    // failure.
    bool Create();
    void Show(int showCommand);
    // The main window; null before Create and after it closed.
    HWND Handle() const;
    // The window of dialog "Form2" .. "Form5"; null for another name.
    HWND Dialog(std::string_view formName) const;
    // The Boards window while it is open; null otherwise.
    Win32BoardsWindow* Boards() const { return boards_.get(); }
    // The Charts window while it is open; null otherwise.
    Win32ChartsWindow* Charts() const { return charts_.get(); }
    // The renderer of form "Form1" .. "Form5"; null for another name.
    Win32FormRenderer* Renderer(std::string_view formName) const;

    // Brings every control of every form in line with the models, and
    // shows or hides the dialogs; runs ten times a second and after each
    // action.
    void Refresh();
    void Minimize();
    // Closes as the user's close would: asks the controller, which may
    // refuse (a save that failed, or "Cancel"). Returns whether the window
    // closed.
    bool Close();
    // Runs after the main window closed (the controller's FormClose done)
    // and was destroyed.
    std::function<void()> onClosed;

    // The menu bar is built from the menu description (MenuLayout.h), each
    // item with its MenuCommandId, leaving out what this window cannot do
    // (it has one colour scheme: no themes).
    static bool Supports(MenuAction action);
    void SetShell(Win32Shell shell);

    // Keyboard navigation (Tab, arrows in a radio group, Escape closing a
    // dialog) for a message meant for one of the forms; true when the
    // message was handled, and must not be dispatched again.
    bool TranslateDialogMessage(MSG& msg);

private:
    struct FormWindow {
        Win32MainWindow* owner = nullptr;
        std::unique_ptr<Win32FormRenderer> renderer;
        HWND hwnd = nullptr;
        // Dialogs only: the model, the close button's action name, whether
        // it is shown and has been placed on the screen.
        const CalibrationDialog* model = nullptr;
        std::string closeAction;
        bool shown = false;
        bool placed = false;
        std::wstring title;
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(FormWindow& fw, UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateForm(FormWindow& fw, std::string_view formName, DWORD style, DWORD exStyle, HWND owner,
                    HMENU menu = nullptr);
    void Do(MenuAction action);
    void OpenSettingsFolder();
    void OpenBoards();
    void OpenCharts();
    // The Charts window goes, then its model (which stops the recording).
    void CloseCharts();
    void SyncTitle(FormWindow& fw, const std::string& caption);
    void SyncDialog(FormWindow& fw);
    void CloseDialog(FormWindow& fw);
    // Places a form's controls for its client area; a window smaller than
    // its design (at its DPI) scrolls.
    void LayoutForm(FormWindow& fw);
    void ScrollForm(FormWindow& fw, int bar, int code);
    // The message font at `dpi`, made once per DPI.
    HFONT FontFor(int dpi);
    void OnDpiChanged(FormWindow& fw, int dpi, const RECT& suggested);
    bool IsOurs(HWND hwnd) const;

    TForm1& form_;
    HINSTANCE instance_;
    std::map<int, HFONT> fonts_;
    FormWindow main_;
    std::vector<std::unique_ptr<FormWindow>> dialogs_;
    Win32Shell shell_;
    std::unique_ptr<Win32BoardsWindow> boards_;
    std::unique_ptr<Win32ChartsWindow> charts_;
    bool refreshing_ = false;
    bool closing_ = false;
    bool layingOut_ = false;
};

} // namespace zrk
