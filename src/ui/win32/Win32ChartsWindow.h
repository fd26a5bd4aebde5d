#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "app/PngImage.h"

namespace zrk {

class ChartsPanel;
struct ControlDesign;

// The window class of the Charts window, so that another program finds it
// with FindWindowW(kChartsWindowClass, L"Charts").
inline constexpr const wchar_t* kChartsWindowClass = L"ZrkTqCharts";
// The window class of one chart inside it.
inline constexpr const wchar_t* kChartControlClass = L"ZrkTqChart";

// The native drawing of the "Charts" window (ChartsPanel): its
// description's buttons, span toggles and status line as native controls,
// and each chart as a child window of its own class that paints the
// panel's picture of it. All at their design places, scaled by the
// window's DPI; the charts widen with the window, and a screen too small
// for the whole scrolls it. A chart is drawn into a memory bitmap and
// copied in one go, never erased first, so that the refresh ten times a
// second does not flicker. It decides nothing itself: the user's presses
// go to the panel, and "Save PNG" takes its picture from Capture(). Every
// control is found with GetDlgItem(window, ControlId(panel.Design(),
// name)).
class Win32ChartsWindow {
public:
    // `onClose` runs once the user closed the window; the owner then lets
    // the window and the panel go (not from inside the call).
    Win32ChartsWindow(ChartsPanel& panel, HINSTANCE instance, std::function<void()> onClose);
    ~Win32ChartsWindow();
    Win32ChartsWindow(const Win32ChartsWindow&) = delete;
    Win32ChartsWindow& operator=(const Win32ChartsWindow&) = delete;

    // Builds the window centred over `owner` (which owns it), within the
    // work area of its screen. False on failure.
    bool Create(HWND owner);
    void Show(int showCommand = SW_SHOW);
    HWND Handle() const { return hwnd_; }
    HWND Control(std::string_view name) const;
    int Dpi() const { return dpi_; }

    // Takes up what the panel recorded and shows its states; redraws the
    // charts only when something shown moved. Runs every
    // ChartsPanel::kRefreshMs and after every action. Changes made here
    // are never taken for a user's action.
    void Refresh();

    // The charts as their controls show them, at their sizes, stacked top
    // to bottom in the description's order (narrower ones padded with
    // white on the right): the picture "Save PNG" saves.
    RgbImage Capture() const;

private:
    struct Drawn {
        const ControlDesign* design = nullptr;
        HWND hwnd = nullptr;
        std::wstring text;   // as last set
        bool enabled = true;
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ChartProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool Build();
    void Layout();
    void Scroll(int bar, int code);
    void SetDpi(int dpi);
    void Show(Drawn& d);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void Acted();
    void CloseByUser();
    // Paints chart `name` at w × h pixels with its top-left corner at
    // (x, y) of `dc`.
    void PaintChart(HDC dc, std::string_view name, int x, int y, int w, int h) const;
    // Paints a chart control's whole client area into `dc`, off screen
    // first.
    void PaintControl(HWND chart, HDC dc) const;
    const Drawn* Find(HWND hwnd) const;
    int Scaled(int designUnits) const;

    ChartsPanel& panel_;
    HINSTANCE instance_;
    std::function<void()> onClose_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;        // the controls' message font
    HFONT chartFont_ = nullptr;   // the charts' texts
    int dpi_ = 96;
    std::vector<Drawn> drawn_;
    std::map<std::string, std::size_t, std::less<>> byName_;
    std::map<HWND, std::size_t> byWindow_;
    uint64_t shownChanges_ = ~uint64_t(0);
    bool updating_ = false;
    bool layingOut_ = false;
    bool closed_ = false;
};

} // namespace zrk
