#pragma once
#include <QTimer>
#include <QWidget>

#include "ui/PanelWindow.h"
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QScrollArea;

namespace zrk {

class BoardsPanel;
struct ControlDesign;

// The Qt drawing of the "Boards" window (BoardsPanel): its description's
// controls at their design places in a canvas that scrolls as a whole on
// a small screen, the panel's states shown on every refresh, the user's
// choices and buttons forwarded to the panel. It decides nothing itself.
// Closing it by its frame is its Close button.
class BoardsWindow : public PanelWindow {
public:
    // `onClose` runs when the user closes the window (its Close button or
    // its frame); the owner then lets the panel go.
    BoardsWindow(BoardsPanel& panel, std::function<void()> onClose, QWidget* parent = nullptr);
    ~BoardsWindow() override;

    static constexpr int kRefreshMs = 100;
    // The widget drawn for a control; nullptr for none.
    QWidget* Widget(std::string_view control) const;
    QSize sizeHint() const override;

private:
    uint64_t LookAtModel() override;
    void Redraw() override;
    struct Drawn {
        const ControlDesign* design;
        QWidget* widget;
    };
    QWidget* Make(const ControlDesign& c, QWidget* parent);
    void Show(const Drawn& d);

    BoardsPanel& panel_;
    std::vector<Drawn> drawn_;
    std::map<std::string, QWidget*, std::less<>> byName_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
};

} // namespace zrk
