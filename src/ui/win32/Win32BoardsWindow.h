#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace zrk {

class BoardsPanel;
struct ControlDesign;

// The window class of the Boards window, so that another program finds it
// with FindWindowW(kBoardsWindowClass, L"Boards").
inline constexpr const wchar_t* kBoardsWindowClass = L"ZrkTqBoards";

// The native drawing of the "Boards" window (BoardsPanel): its
// description's controls as native controls (lists are list boxes) at
// their design places, scaled by the window's DPI, inside a client area
// that scrolls as a whole on a small screen; the panel's states shown on
// every refresh, the user's choices and buttons forwarded to the panel.
// It decides nothing itself. Every control is found with
// GetDlgItem(window, ControlId(BoardsPanel::Design(), name)). Closing it
// by its frame is its Close button.
class Win32BoardsWindow {
public:
    // `onClose` runs once the user closed the window; the owner then lets
    // the window and the panel go (not from inside the call).
    Win32BoardsWindow(BoardsPanel& panel, HINSTANCE instance, std::function<void()> onClose);
    ~Win32BoardsWindow();
    Win32BoardsWindow(const Win32BoardsWindow&) = delete;
    Win32BoardsWindow& operator=(const Win32BoardsWindow&) = delete;

    // Builds the window centred over `owner` (which owns it), within the
    // work area of its screen. False on failure.
    bool Create(HWND owner);
    void Show(int showCommand = SW_SHOW);
    HWND Handle() const { return hwnd_; }
    HWND Control(std::string_view name) const;
    // Shows the panel's states; runs ten times a second and after every
    // action. Changes made here are never taken for a user's action.
    void Refresh();

private:
    struct Drawn {
        const ControlDesign* design = nullptr;
        int parent = -1;
        HWND hwnd = nullptr;
        std::wstring text;
        std::vector<std::string> lines;
        int selected = -2;
        bool enabled = true;
    };
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool Build();
    void Layout();
    void Show(Drawn& d);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void Acted();
    void CloseByUser();
    int Scaled(int designUnits) const;

    BoardsPanel& panel_;
    HINSTANCE instance_;
    std::function<void()> onClose_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    std::vector<Drawn> drawn_;
    std::map<std::string, std::size_t, std::less<>> byName_;
    std::map<HWND, std::size_t> byWindow_;
    uint64_t shownChanges_ = ~uint64_t(0);
    bool updating_ = false;
    bool closed_ = false;
};

} // namespace zrk
