#pragma once
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/QuadrantPanel.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace zrk {

class DemoCockpit;
class LeverGauge;
class ServoDial;
class TrimWheelView;
class VirtualQuadrant;

// The Qt drawing of the "Quadrant" window (QuadrantPanel): its
// description's controls as widgets at their design places, inside a
// canvas that scrolls as a whole when the screen has less room; the
// panel's states shown on every refresh, and the user's hand forwarded to
// the panel. It decides nothing itself.
class QuadrantWindow : public QWidget {
public:
    // The demo cockpit's quadrant, switches, flight and bridge.
    QuadrantWindow(DemoCockpit& cockpit, QWidget* parent = nullptr);
    // Any virtual quadrant, with what else to show in `hooks`.
    QuadrantWindow(VirtualQuadrant& quadrant, QuadrantHooks hooks, QWidget* parent = nullptr);
    ~QuadrantWindow() override;

    // Brings every drawing in line with the models; runs every
    // kRefreshMs while the window shows.
    void Refresh();
    static constexpr int kRefreshMs = QuadrantPanel::kRefreshMs;
    static constexpr std::size_t kShownMessages = QuadrantPanel::kShownMessages;
    static const std::vector<double>& SpeedFactors() { return QuadrantPanel::SpeedFactors(); }

    const QuadrantPanel& Panel() const { return panel_; }
    // The widget drawn for a control of the description; nullptr for none.
    QWidget* Widget(std::string_view control) const;

    // For tests and screenshots: the parts, by lever name or index.
    LeverGauge* Gauge(const std::string& lever) const;
    QAbstractButton* HoldButton(const std::string& throttle) const;
    QLabel* CurrentReadout(const std::string& throttle) const;
    QLabel* ReadingReadout(const std::string& lever) const;
    TrimWheelView* Wheel() const;
    // The dial of a wired servo ("cpt", "fo", "rudder", "latch").
    ServoDial* Dial(const std::string& servo) const;
    QCheckBox* SwitchBox(std::size_t index) const;
    QPushButton* PauseButton() const;
    QPushButton* RestartButton() const;
    QPushButton* SpeedButton(double factor) const;
    QLabel* PhaseLabel() const;
    QPlainTextEdit* MessageList() const;

    // The size its contents take; the window is given this size, or what
    // the screen has room for, and then scrolls.
    QSize sizeHint() const override;
    QScrollArea* Canvas() const { return scroll_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Drawn {
        const ControlDesign* design;
        QWidget* widget;
    };
    void Build();
    QWidget* Make(const ControlDesign& c, QWidget* parent);
    void Show(const Drawn& d);
    void Acted();

    QuadrantPanel panel_;
    std::vector<Drawn> drawn_;
    std::map<std::string, QWidget*, std::less<>> byName_;
    uint64_t shownChanges_ = ~uint64_t(0);
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QTimer refresh_;
};

// Places the Quadrant window on the main window's screen: beside the main
// window when both fit there, else in front of it (and belonging to it, so
// that it stays in front), never off the screen's work area.
void PlaceQuadrantWindow(QuadrantWindow& quadrant, QWidget& mainWindow);

} // namespace zrk
