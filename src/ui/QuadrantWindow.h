#pragma once
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace zrk {

class DemoCockpit;
class LeverGauge;
class Lamp;
class ServoDial;
class TrimWheelView;
class VirtualBoardLibrary;
class VirtualQuadrant;

// A switch the window shows as a toggle.
struct QuadrantSwitch {
    QString label;
    std::function<bool()> closed;
    std::function<void(bool)> set;
};
// A switch on a digital input of a virtual interface kit (disabled while no
// control is opened on that kit).
QuadrantSwitch KitSwitch(VirtualBoardLibrary& boards, const QString& label, int kitSerial, int input);

// Where the flight stands, for the window's flight panel.
struct QuadrantFlight {
    double timeS = 0;
    QString phase;
    bool paused = false;
    double speed = 1;
};

// What the window shows beside the quadrant itself, and what its buttons
// do. Anything left empty is not shown.
struct QuadrantWindowHooks {
    std::vector<QuadrantSwitch> switches;
    std::function<QuadrantFlight()> flight;
    std::function<void(bool paused)> setPaused;
    std::function<void()> restart;
    std::function<void(double factor)> setSpeed;
    // The built-in bridge's newest messages, oldest first.
    std::function<std::vector<std::string>()> bridgeMessages;
};

// The "Quadrant" window of the virtual cockpit: the quadrant as a pilot
// sees it. Every lever is drawn where the model has it, so it moves when
// its motor drives it; dragging one is a hand moving it (held while the
// mouse is down, so a motor fighting the hand stalls). A "HOLD" toggle
// under each throttle rests a hand on it. The trim wheel turns, the three
// trim indicators and the speedbrake latch show their servos' arms, the
// switches are toggles, and the flight panel shows the flight's phase with
// its controls and the messages the built-in bridge received.
//
// The window only reads the models and forwards the user's hand; it holds
// no state of the quadrant's own.
class QuadrantWindow : public QWidget {
public:
    // The demo cockpit's quadrant, switches, flight and bridge.
    QuadrantWindow(DemoCockpit& cockpit, QWidget* parent = nullptr);
    // Any virtual quadrant, with what else to show in `hooks`.
    QuadrantWindow(VirtualQuadrant& quadrant, QuadrantWindowHooks hooks, QWidget* parent = nullptr);
    ~QuadrantWindow() override;

    // Brings every drawing in line with the models; runs every
    // kRefreshMs while the window shows.
    void Refresh();
    static constexpr int kRefreshMs = 33;

    // The messages listed at most.
    static constexpr std::size_t kShownMessages = 12;

    // For tests and screenshots: the parts, by lever name or index.
    LeverGauge* Gauge(const std::string& lever) const;
    QAbstractButton* HoldButton(const std::string& throttle) const;
    QLabel* CurrentReadout(const std::string& throttle) const;
    QLabel* ReadingReadout(const std::string& lever) const;
    TrimWheelView* Wheel() const { return wheel_; }
    ServoDial* Dial(const std::string& servo) const;
    QCheckBox* SwitchBox(std::size_t index) const;
    QPushButton* PauseButton() const { return pause_; }
    QPushButton* RestartButton() const { return restart_; }
    QPushButton* SpeedButton(double factor) const;
    QLabel* PhaseLabel() const { return phase_; }
    QPlainTextEdit* MessageList() const { return messages_; }

    // The speed-up factors the flight panel offers.
    static const std::vector<double>& SpeedFactors();

    // The size its contents take; the window is given this size, or what
    // the screen has room for, and then scrolls.
    QSize sizeHint() const override;
    QScrollArea* Canvas() const { return scroll_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct LeverView {
        std::string name;
        LeverGauge* gauge = nullptr;
        QLabel* reading = nullptr;
        QAbstractButton* hold = nullptr;   // throttles only
        QLabel* current = nullptr;         // levers with motors
        Lamp* handLamp = nullptr;
    };
    struct DialView {
        std::string servo;   // the name it has on the quadrant, empty: none
        ServoDial* dial = nullptr;
    };
    struct SpeedView {
        double factor;
        QPushButton* button;
    };

    void Build();
    QWidget* BuildFlightPanel();
    QWidget* BuildLeverPanel();
    QWidget* BuildTrimPanel();
    QWidget* BuildSwitchPanel();
    void Grab(LeverView& lever, double position);
    void Drag(LeverView& lever, double position);
    void LetGo(LeverView& lever);
    double LeverAmps(const std::string& lever) const;

    VirtualQuadrant& quadrant_;
    QuadrantWindowHooks hooks_;
    std::vector<LeverView> levers_;
    std::vector<DialView> dials_;
    std::vector<QCheckBox*> switches_;
    std::vector<SpeedView> speeds_;
    std::string wheelName_;
    TrimWheelView* wheel_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* restart_ = nullptr;
    QLabel* phase_ = nullptr;
    QLabel* time_ = nullptr;
    QPlainTextEdit* messages_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    std::vector<std::string> shownMessages_;
    QTimer refresh_;
};

// Sizes the Quadrant window and places it on the main window's screen:
// beside the main window when both fit there, else in front of it (it
// then belongs to the main window, so it stays in front). Placed once; the
// user may move it, and it keeps that place for the run.
void PlaceQuadrantWindow(QuadrantWindow& quadrant, QWidget& mainWindow);

// A lever's caption in the window ("THR 1", "REV 2", "SPD BRK", "FLAPS";
// other names upper-cased) and its place in the row: throttles, reversers,
// speedbrake, flaps, then the rest; by name within a kind.
QString LeverCaption(const std::string& name);
int LeverRank(const std::string& name);

} // namespace zrk
