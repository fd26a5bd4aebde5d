// The Charts window drawn from its model, on the real controller with
// virtual boards and time: opened from the Tools menu, its four charts
// painted from the panel's pictures only after a change, its buttons and
// span toggles forwarded to the panel, its files saved beside CONFIG.INI
// through the virtual file system. Runs on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Charts.h"
#include "app/ChartsPanel.h"
#include "support/Rig.h"
#include "ui/ChartsWindow.h"
#include "ui/MainWindow.h"

namespace zrk::test {
namespace {

const char* const kCharts[] = {"Chart_throttles", "Chart_currents", "Chart_trim", "Chart_speedbrake"};

class ChartsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.Start();
        window = std::make_unique<MainWindow>(*rig.form, WindowOptions{Theme::Light, QString()});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        rig.host.RunFor(500);
    }
    void TearDown() override
    {
        window.reset();
        if (rig.form)
            rig.form->FormDestroy();
    }

    // Opens the Charts window as the user does, from the Tools menu.
    ChartsWindow* OpenCharts()
    {
        QAction* item = window->MenuItem("tools_charts");
        EXPECT_NE(item, nullptr);
        if (!item)
            return nullptr;
        item->trigger();
        ChartsWindow* charts = window->Charts();
        EXPECT_NE(charts, nullptr);
        if (charts) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(charts));
        }
        return charts;
    }
    // Lets the window's pending paints happen.
    static void Settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    template <class W>
    static W* Get(ChartsWindow* charts, const char* name)
    {
        auto* w = qobject_cast<W*>(charts->Widget(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void Click(ChartsWindow* charts, const char* button)
    {
        auto* b = Get<QPushButton>(charts, button);
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(b->isVisible()) << button;
        ASSERT_TRUE(b->isEnabled()) << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // The saved files beside CONFIG.INI named charts-*.EXT.
    std::vector<std::string> Saved(const std::string& extension) const
    {
        std::vector<std::string> out;
        const std::string prefix = std::string(kExeFolder) + "/charts-";
        for (const auto& [path, bytes] : rig.files.Files())
            if (path.rfind(prefix, 0) == 0 && path.size() > extension.size()
                && path.compare(path.size() - extension.size(), extension.size(), extension) == 0)
                out.push_back(path);
        return out;
    }
    std::size_t Recorded() const { return rig.form->Charts() ? rig.form->Charts()->Recorder().Size() : 0; }

    Rig rig;
    std::unique_ptr<MainWindow> window;
};

TEST_F(ChartsWindowTest, TheToolsMenuOpensItWithItsFourChartsAndTheFrameClosesItAndItsModel)
{
    EXPECT_EQ(rig.form->Charts(), nullptr);
    ChartsWindow* charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    ASSERT_NE(rig.form->Charts(), nullptr);
    EXPECT_EQ(charts->windowTitle(), QStringLiteral("Charts"));
    EXPECT_EQ(&charts->Panel(), rig.form->Charts());
    ASSERT_EQ(charts->Charts().size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(kCharts[i]);
        auto* view = charts->findChild<ChartView*>(QString::fromLatin1(kCharts[i]));
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view, charts->Charts()[i]);
        EXPECT_EQ(view->ChartName(), kCharts[i]);
        EXPECT_TRUE(view->isVisible());
        const ControlDesign* design = rig.form->Charts()->Design().Find(kCharts[i]);
        ASSERT_NE(design, nullptr);
        EXPECT_GE(view->width(), design->bounds.width);
        EXPECT_EQ(view->height(), design->bounds.height);
    }
    for (const char* control : {"Pause", "SaveCsv", "SavePng", "Span_10", "Span_30", "Span_120", "Status"})
        EXPECT_NE(charts->Widget(control), nullptr) << control;
    // A second time from the menu: the same window.
    window->MenuItem("tools_charts")->trigger();
    EXPECT_EQ(window->Charts(), charts);

    // The cycles record while it is open.
    rig.host.RunFor(1000);
    EXPECT_GE(Recorded(), 9u);

    // Closed by its frame: the window goes, then its model, and the
    // recording with it.
    charts->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->Charts(), nullptr);
    EXPECT_EQ(rig.form->Charts(), nullptr);
    rig.host.RunFor(1000);

    // Opened again: a fresh recording.
    charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    EXPECT_EQ(Recorded(), 0u);
}

TEST_F(ChartsWindowTest, ItClosesWithTheMainWindow)
{
    ASSERT_NE(OpenCharts(), nullptr);
    window->close();
    EXPECT_EQ(window->Charts(), nullptr);
    EXPECT_EQ(rig.form->Charts(), nullptr);
}

TEST_F(ChartsWindowTest, AChartPaintsOnlyAfterAChange)
{
    ChartsWindow* charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    rig.host.RunFor(2000);
    charts->Refresh();
    Settle();
    std::vector<uint64_t> paints;
    for (ChartView* view : charts->Charts()) {
        EXPECT_GT(view->Paints(), 0u) << view->ChartName();
        paints.push_back(view->Paints());
    }
    // Nothing recorded since: refreshes paint nothing.
    for (int i = 0; i < 5; ++i) {
        charts->Refresh();
        Settle();
    }
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(charts->Charts()[i]->Paints(), paints[i]) << kCharts[i] << " painted without a change";

    // One cycle more: every chart paints again, once.
    rig.host.RunFor(100);
    charts->Refresh();
    Settle();
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(charts->Charts()[i]->Paints(), paints[i] + 1) << kCharts[i];

    // The window's own timer refreshes it every kRefreshMs: another cycle
    // is drawn without being asked, and only once.
    rig.host.RunFor(100);
    QTest::qWait(ChartsPanel::kRefreshMs * 4);
    Settle();
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(charts->Charts()[i]->Paints(), paints[i] + 2) << kCharts[i];
}

TEST_F(ChartsWindowTest, PauseStopsTheRecordingAndResumeGoesOn)
{
    ChartsWindow* charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    rig.host.RunFor(1000);
    auto* pause = Get<QPushButton>(charts, "Pause");
    auto* status = Get<QLabel>(charts, "Status");
    ASSERT_TRUE(pause && status);
    EXPECT_EQ(pause->text(), QStringLiteral("Pause"));
    EXPECT_EQ(status->text(), QStringLiteral("Recording"));

    Click(charts, "Pause");
    EXPECT_EQ(pause->text(), QStringLiteral("Resume"));
    EXPECT_EQ(status->text(), QStringLiteral("Paused"));
    EXPECT_FALSE(rig.form->Charts()->Recording());
    const std::size_t held = Recorded();
    ASSERT_GT(held, 0u);
    rig.host.RunFor(2000);
    charts->Refresh();
    EXPECT_EQ(Recorded(), held);
    // What is shown stays: no chart paints while paused.
    Settle();
    const uint64_t paints = charts->Charts()[0]->Paints();
    rig.host.RunFor(1000);
    charts->Refresh();
    Settle();
    EXPECT_EQ(charts->Charts()[0]->Paints(), paints);

    Click(charts, "Pause");
    EXPECT_EQ(pause->text(), QStringLiteral("Pause"));
    EXPECT_EQ(status->text(), QStringLiteral("Recording"));
    rig.host.RunFor(1000);
    EXPECT_GE(Recorded(), held + 9);
}

TEST_F(ChartsWindowTest, TheSpanTogglesAreExclusive)
{
    ChartsWindow* charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    auto* s10 = Get<QPushButton>(charts, "Span_10");
    auto* s30 = Get<QPushButton>(charts, "Span_30");
    auto* s120 = Get<QPushButton>(charts, "Span_120");
    ASSERT_TRUE(s10 && s30 && s120);
    EXPECT_EQ(s10->text(), QStringLiteral("10 s"));
    EXPECT_EQ(s30->text(), QStringLiteral("30 s"));
    EXPECT_EQ(s120->text(), QStringLiteral("2 min"));
    // 30 s to begin with.
    EXPECT_FALSE(s10->isChecked());
    EXPECT_TRUE(s30->isChecked());
    EXPECT_FALSE(s120->isChecked());
    EXPECT_EQ(charts->Panel().SpanMs(), 30000u);

    const uint64_t paints = charts->Charts()[0]->Paints();
    Click(charts, "Span_10");
    EXPECT_TRUE(s10->isChecked());
    EXPECT_FALSE(s30->isChecked());
    EXPECT_FALSE(s120->isChecked());
    EXPECT_EQ(charts->Panel().SpanMs(), 10000u);
    Settle();
    EXPECT_GT(charts->Charts()[0]->Paints(), paints) << "the new span is not drawn";

    Click(charts, "Span_120");
    EXPECT_FALSE(s10->isChecked());
    EXPECT_FALSE(s30->isChecked());
    EXPECT_TRUE(s120->isChecked());
    EXPECT_EQ(charts->Panel().SpanMs(), 120000u);

    // Pressing the chosen one keeps it.
    Click(charts, "Span_120");
    EXPECT_TRUE(s120->isChecked());
    EXPECT_FALSE(s10->isChecked() || s30->isChecked());
    EXPECT_EQ(charts->Panel().SpanMs(), 120000u);
}

TEST_F(ChartsWindowTest, SaveCsvWritesTheRecordingBesideConfigIni)
{
    ChartsWindow* charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    // Nothing recorded yet: nothing to save.
    EXPECT_EQ(Recorded(), 0u);
    EXPECT_FALSE(Get<QPushButton>(charts, "SaveCsv")->isEnabled());
    rig.host.RunFor(3000);
    charts->Refresh();
    Click(charts, "SaveCsv");

    const std::vector<std::string> saved = Saved(".csv");
    ASSERT_EQ(saved.size(), 1u);
    const std::string& path = saved.front();
    // charts-HHMMSS.csv
    EXPECT_EQ(path.size(), std::string(kExeFolder).size() + std::string("/charts-123456.csv").size()) << path;
    const std::string csv = rig.files.Files().at(path);
    const std::string header = csv.substr(0, csv.find("\r\n"));
    std::string expected = "time_s";
    for (std::size_t c = 0; c < kChartChannels; ++c)
        expected += std::string(",") + ChartChannelName(ChartChannel(c));
    EXPECT_EQ(header, expected);
    EXPECT_EQ(header.rfind("time_s,thr1_command,", 0), 0u) << header;
    // One line a cycle after the header.
    std::size_t lines = 0;
    for (std::size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, Recorded() + 1);

    auto* status = Get<QLabel>(charts, "Status");
    EXPECT_EQ(status->text().toStdString(), "CSV saved to " + path);
    EXPECT_TRUE(rig.Logged("Charts: CSV saved to " + path));
}

TEST_F(ChartsWindowTest, SavePngWritesTheFourChartsAsDrawn)
{
    ChartsWindow* charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    EXPECT_FALSE(Get<QPushButton>(charts, "SavePng")->isEnabled());
    rig.host.RunFor(5000);
    charts->Refresh();
    Settle();
    Click(charts, "SavePng");

    const std::vector<std::string> saved = Saved(".png");
    ASSERT_EQ(saved.size(), 1u);
    const std::string bytes = rig.files.Files().at(saved.front());
    QImage png;
    ASSERT_TRUE(png.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()), "PNG"))
        << "the core's PNG does not decode";
    // The four charts stacked, each at its widget's size.
    int width = 0, height = 0;
    for (ChartView* view : charts->Charts()) {
        width = std::max(width, view->width());
        height += view->height();
    }
    ASSERT_EQ(png.size(), QSize(width, height));
    EXPECT_EQ(png.size(), charts->Capture().size());

    // Pixel for pixel what the widgets show.
    const QImage decoded = png.convertToFormat(QImage::Format_RGB32);
    int top = 0;
    for (ChartView* view : charts->Charts()) {
        SCOPED_TRACE(view->ChartName());
        QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (shown.devicePixelRatio() != 1.0)
            shown = shown.scaled(view->size());
        ASSERT_EQ(shown.size(), view->size());
        int differ = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if ((decoded.pixel(x, top + y) & 0xFFFFFF) != (shown.pixel(x, y) & 0xFFFFFF))
                    ++differ;
        EXPECT_EQ(differ, 0) << "pixels unlike the widget's";
        // A picture, not a blank: the frame, grid and texts show.
        std::set<QRgb> colours;
        for (int y = 0; y < shown.height(); y += 2)
            for (int x = 0; x < shown.width(); x += 2)
                colours.insert(shown.pixel(x, y) & 0xFFFFFF);
        EXPECT_GT(colours.size(), 4u);
        top += view->height();
    }
    EXPECT_EQ(Get<QLabel>(charts, "Status")->text().toStdString(), "PNG saved to " + saved.front());

    // A second picture in the same second keeps the first.
    Click(charts, "SavePng");
    EXPECT_EQ(Saved(".png").size(), 2u);
}

TEST_F(ChartsWindowTest, ItFitsItsDesignAndScrollsWhenSmaller)
{
    ChartsWindow* charts = OpenCharts();
    ASSERT_NE(charts, nullptr);
    const FormDesign& design = charts->Panel().Design();
    EXPECT_EQ(charts->sizeHint(), QSize(design.width, design.height));
    // Wider: the charts widen with it.
    charts->resize(design.width + 200, design.height);
    Settle();
    EXPECT_EQ(charts->Charts()[0]->width(), design.Find(kCharts[0])->bounds.width + 200);
    // Smaller: the canvas keeps its design size and scrolls.
    charts->resize(design.width - 200, design.height - 200);
    Settle();
    EXPECT_GE(charts->Canvas()->widget()->width(), design.width);
    EXPECT_GE(charts->Canvas()->widget()->height(), design.height);
    EXPECT_EQ(charts->Charts()[0]->width(), design.Find(kCharts[0])->bounds.width);
}

} // namespace
} // namespace zrk::test

int main(int argc, char** argv)
{
    // Headless whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
