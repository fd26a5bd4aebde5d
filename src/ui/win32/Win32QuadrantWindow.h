#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "app/QuadrantPanel.h"

namespace zrk {

class DemoCockpit;
class VirtualQuadrant;

// The window class of the Quadrant window, so that another program finds
// it with FindWindowW(kQuadrantWindowClass, L"Quadrant").
inline constexpr const wchar_t* kQuadrantWindowClass = L"ZrkTqQuadrant";

// The native drawing of the "Quadrant" window (QuadrantPanel): its
// description's controls as native controls at their design places, scaled
// by the window's DPI, inside a client area that scrolls as a whole when
// the screen has less room; the panel's states shown on every refresh, and
// the user's hand forwarded to the panel. Levers are vertical track bars
// (the top is full travel), HOLD and the speed factors push-like toggles;
// the wheel, the needles and the lamps are drawn by the window itself,
// off screen first, so that a refresh never flickers. It decides nothing
// itself. Every control is found with GetDlgItem(window, ControlId(design,
// name)).
class Win32QuadrantWindow {
public:
    Win32QuadrantWindow(DemoCockpit& cockpit, HINSTANCE instance);
    Win32QuadrantWindow(VirtualQuadrant& quadrant, QuadrantHooks hooks, HINSTANCE instance);
    ~Win32QuadrantWindow();
    Win32QuadrantWindow(const Win32QuadrantWindow&) = delete;
    Win32QuadrantWindow& operator=(const Win32QuadrantWindow&) = delete;

    // Builds the window, hidden, and places it on the screen of
    // `mainWindow` (if any): beside it when both fit in that screen's work
    // area, else in front of it (owned by it, so that it stays in front;
    // the user can move it aside), never off the work area. Placed once:
    // where the user moves it, it stays for the run. False on failure.
    bool Create(HWND mainWindow = nullptr);
    void Show(int showCommand = SW_SHOWNOACTIVATE);
    HWND Handle() const { return hwnd_; }
    // The native control of a control of the description; null for none.
    HWND Control(std::string_view name) const;
    // The id of the caption drawn at a lever's foot.
    static int CaptionId(int leverId) { return leverId + 0x2000; }

    // Brings every control in line with the models; runs every
    // QuadrantPanel::kRefreshMs while the window shows, and after every
    // action. Changes made here are never taken for a user's action.
    void Refresh();

    const QuadrantPanel& Panel() const { return panel_; }
    int Dpi() const { return dpi_; }

private:
    struct Drawn {
        const ControlDesign* design = nullptr;
        int parent = -1;             // the panel it sits in; -1: the window
        HWND hwnd = nullptr;
        HWND caption = nullptr;      // levers: the caption at the foot
        std::wstring text;           // as last set
        int position = -1;           // levers: as last shown
        bool on = false;             // toggles, check boxes: as last shown
        bool enabled = true;
        bool grabbed = false;        // levers: the mouse holds the thumb
        std::vector<std::string> lines;   // the message list: as last shown
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool Build();
    void Layout();
    void Scroll(int bar, int code);
    void SetDpi(int dpi);
    void Show(Drawn& d);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnLever(HWND from, int code);
    void Draw(const DRAWITEMSTRUCT& item);
    void Acted();
    Drawn* Find(HWND hwnd);
    int Scaled(int designUnits) const;

    QuadrantPanel panel_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    std::vector<Drawn> drawn_;
    std::map<std::string, std::size_t, std::less<>> byName_;
    std::map<HWND, std::size_t> byWindow_;
    uint64_t shownChanges_ = ~uint64_t(0);
    bool updating_ = false;
    bool layingOut_ = false;
};

} // namespace zrk
