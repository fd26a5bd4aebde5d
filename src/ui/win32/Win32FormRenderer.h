#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "app/WindowBinding.h"
#include "app/WindowLayout.h"

namespace zrk {

class TForm1;

// Ids of the native windows a control is drawn with beyond its own: the
// radio buttons of a radio group (whose group box has the group's
// ControlId) and the number box beside an up-down. Like ControlId, they let
// another program find these windows with GetDlgItem on the form's window.
inline constexpr int kMaxRadioItems = 16;
int RadioItemId(int groupId, int index);
int UpDownBuddyId(int upDownId);

// Builds the native controls of one form of the window description as
// direct children of the form's top-level window, keeps them in step with
// the controller's models and forwards the user's actions to the
// controller's action methods. It decides nothing itself. Panels are group
// boxes drawn at their place; the controls in them are placed at the
// panel's place plus their own, so every control is found with
// GetDlgItem(formWindow, ControlId(design, name)).
class Win32FormRenderer {
public:
    // `afterAction` runs after every forwarded action, so that the owner
    // refreshes every form at once (an action on one form may change
    // another).
    Win32FormRenderer(const FormDesign& design, TForm1& form, std::function<void()> afterAction);
    Win32FormRenderer(const Win32FormRenderer&) = delete;
    Win32FormRenderer& operator=(const Win32FormRenderer&) = delete;

    // Creates the controls in `window`, whose client area has the form's
    // design size at `dpi`, in `font`. False when a control could not be
    // created.
    bool Build(HWND window, HFONT font, int dpi = 96);

    // Draws the form at another DPI from now on, in `font` (made for that
    // DPI); Layout places the controls for it.
    void SetDpi(int dpi, HFONT font);
    int Dpi() const { return dpi_; }
    // A length of the description (96 DPI) at the form's DPI.
    int Scaled(int designUnits) const;

    // Brings every control in line with its model. Changes made here are
    // never taken for a user's action.
    void Refresh();

    // Places the controls for a client area of this size (in pixels; the
    // description's places are scaled by the form's DPI; a status bar's
    // parts too): a control
    // anchored to both edges of an axis stretches with its panel, to the
    // far edge only it moves. Smaller than the design size keeps the
    // design places. `origin` is where the form's top-left corner lies in
    // the client area (negative while the window is scrolled).
    void Layout(int clientWidth, int clientHeight, POINT origin = {0, 0});

    // The form window's messages that concern its controls: commands,
    // scroll notifications, label colours and lamp painting. True when
    // handled; `result` is then the message's result.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    const FormDesign& Design() const { return design_; }
    HWND Window() const { return window_; }
    // The window drawn for a control; nullptr for an unknown name.
    HWND Control(std::string_view name) const;

private:
    struct Drawn {
        const ControlDesign* design = nullptr;
        ControlModel model;
        // The panel (or radio group) it sits in; -1 on the form itself.
        int parent = -1;
        HWND hwnd = nullptr;
        HWND buddy = nullptr;            // up-downs: the number box
        std::vector<HWND> items;         // radio groups: the buttons
        bool shown = true;               // as last set with ShowWindow
        std::wstring text;               // labels: as last set
        std::array<std::wstring, 3> partTexts;   // status bar: each part's text as last set
        std::vector<int> partEdges;      // status bar: its parts' right edges as last set
        int position = 0;                // track bars, up-downs: as last shown or moved
        int color = -1;                  // labels, lamps: as last drawn
        std::size_t memoShown = 0;       // the log: lines added so far, as shown
        std::size_t memoLines = 0;       // the log: lines in the view
        RECT place{};                    // where Layout put it
    };

    HWND Make(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle, int id);
    bool BuildControl(Drawn& d, HFONT font);
    void RefreshControl(Drawn& d);
    void RefreshMemo(Drawn& d);
    void RefreshStatusBar(Drawn& d);
    void SetStatusParts(Drawn& d, int width);
    void ShowControl(Drawn& d, bool visible);
    bool Visible(const Drawn& d) const;
    void Act(const std::function<bool()>& action);
    Drawn* Find(HWND hwnd);
    bool OnCommand(WPARAM wParam, LPARAM lParam);
    bool OnScroll(LPARAM lParam);
    void DrawLamp(const DRAWITEMSTRUCT& item);

    const FormDesign& design_;
    TForm1& form_;
    std::function<void()> afterAction_;
    HWND window_ = nullptr;
    std::vector<Drawn> drawn_;
    std::map<std::string, std::size_t, std::less<>> byName_;
    std::map<HWND, std::size_t> byWindow_;
    // Set while the renderer changes its controls itself: the notifications
    // those changes send (EN_CHANGE of a set text) are not the user's.
    bool updating_ = false;
    int dpi_ = 96;
};

} // namespace zrk
