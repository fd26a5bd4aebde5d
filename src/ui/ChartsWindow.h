#pragma once
#include "ui/PanelWindow.h"
#include <QFont>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QPainter;
class QScrollArea;

namespace zrk {

class ChartsPanel;
struct ChartPicture;
struct ControlDesign;

// One chart of the Charts window: paints the panel's picture of its chart
// at the widget's size. The picture is computed by the core (DrawChart),
// so this widget only paints fills, lines and texts with QPainter; no Qt
// Charts module is used, both programs draw the same picture, and no
// further Debian package is needed.
class ChartView : public QWidget {
public:
    ChartView(const ChartsPanel& panel, std::string chart, QWidget* parent);

    const std::string& ChartName() const { return chart_; }
    // How many times it painted itself, for tests.
    uint64_t Paints() const { return paints_; }
    // The chart as it stands, in pixels of its logical size.
    QImage Image() const;

    // Paints a picture with its top-left corner at the painter's origin,
    // in the order the picture asks: background, fills, lines, texts.
    static void Paint(QPainter& painter, const ChartPicture& picture, const QFont& font);
    // The font of the charts' texts, about kChartTextHeight pixels tall.
    static QFont TextFont(const QFont& base);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ChartsPanel& panel_;
    std::string chart_;
    QFont font_;
    uint64_t paints_ = 0;
};

// The Qt drawing of the "Charts" window (ChartsPanel): its description's
// buttons, span toggles, status line and four charts at their design
// places in a canvas that scrolls as a whole on a small screen (the charts
// widen with the window); the panel refreshed every kRefreshMs and the
// window redrawn only when the panel counted a change; the user's buttons
// forwarded to the panel. It decides nothing itself. Its capture for "Save
// PNG" is the four charts stacked in their order.
//
// The panel belongs to the owner, which lets it go once the window is
// closed; the window never touches it again after its close.
class ChartsWindow : public PanelWindow {
public:
    // `onClose` runs (queued) when the user closes the window by its
    // frame; the owner then lets the window and the panel go.
    ChartsWindow(ChartsPanel& panel, std::function<void()> onClose, QWidget* parent = nullptr);
    ~ChartsWindow() override;

    ChartsPanel& Panel() const { return panel_; }
    static constexpr int kRefreshMs = 100;
    // The widget drawn for a control; nullptr for none.
    QWidget* Widget(std::string_view control) const;
    // The four charts, in the description's order.
    const std::vector<ChartView*>& Charts() const { return charts_; }
    // The charts stacked one below the other, as "Save PNG" saves them.
    QImage Capture() const;
    QSize sizeHint() const override;
    QScrollArea* Canvas() const { return scroll_; }

private:
    uint64_t LookAtModel() override;
    void Redraw() override;
    struct Drawn {
        const ControlDesign* design;
        QWidget* widget;
    };
    QWidget* Make(const ControlDesign& c, QWidget* parent);
    void Show(const Drawn& d);

    ChartsPanel& panel_;
    std::vector<Drawn> drawn_;
    std::vector<ChartView*> charts_;
    std::map<std::string, QWidget*, std::less<>> byName_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
};

} // namespace zrk
