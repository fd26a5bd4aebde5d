// The native Charts window opened from the main window's Tools menu, on the
// real controller with virtual boards and time: controls found by their
// ids, the charts painted from the model's pictures (read back as pixels),
// the buttons and span toggles reaching the model, the saved files, the
// layout at another DPI, and a close by the frame or with the main window
// letting the model go.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Charts.h"
#include "app/ChartsPanel.h"
#include "app/MenuLayout.h"
#include "app/TForm1.h"
#include "app/WindowLayout.h"
#include "support/Rig.h"
#include "ui/win32/Win32ChartsWindow.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32MainWindow.h"
#include "ui/win32/Win32Text.h"

namespace zrk::test {
namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A picture's colour (0x00BBGGRR) as a pixel of a 32-bit DIB (0x00RRGGBB).
uint32_t Pixel(int bgr)
{
    const auto c = uint32_t(bgr);
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// What a window paints into its client area, read back: a top-down
// 32-bit DIB that it prints itself into.
struct Printed {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

Printed PrintClient(HWND control)
{
    Printed out;
    RECT client{};
    GetClientRect(control, &client);
    out.width = client.right;
    out.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = out.width;
    info.bmiHeader.biHeight = -out.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits)
        return out;
    HGDIOBJ old = SelectObject(dc, dib);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    out.pixels.assign(p, p + std::size_t(out.width) * std::size_t(out.height));
    for (uint32_t& px : out.pixels)
        px &= 0x00FFFFFFu;
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return out;
}

bool Checked(HWND button)
{
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The one saved file whose name ends so, beside CONFIG.INI.
std::string SavedFile(const Rig& rig, const std::string& extension)
{
    std::string found;
    for (const auto& [path, bytes] : rig.files.Files())
        if (path.rfind(std::string(kExeFolder) + "/charts-", 0) == 0 && path.size() > extension.size()
            && path.compare(path.size() - extension.size(), extension.size(), extension) == 0) {
            if (!found.empty())
                return "<more than one>";
            found = bytes;
        }
    return found;
}

uint32_t BigEndian(const std::string& bytes, std::size_t at)
{
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | uint8_t(bytes[at + i]);
    return v;
}

class Win32ChartsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.Start(Config({}));
        rig.host.RunFor(500);
        window = std::make_unique<Win32MainWindow>(*rig.form, GetModuleHandleW(nullptr));
        ASSERT_TRUE(window->Create());
        window->Show(SW_SHOWNOACTIVATE);
        const int id = MenuCommandId("tools_charts");
        ASSERT_NE(id, 0);
        SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        charts = window->Charts();
        ASSERT_NE(charts, nullptr);
        ASSERT_NE(rig.form->Charts(), nullptr);
        panel = rig.form->Charts();
    }
    void TearDown() override
    {
        window.reset();
        if (rig.form)
            rig.form->FormDestroy();
    }
    HWND Item(const std::string& name) const
    {
        return GetDlgItem(charts->Handle(), ControlId(panel->Design(), name));
    }
    // Cycles on virtual time, then the window's refresh as its timer runs it.
    void Run(uint32_t ms)
    {
        rig.host.RunFor(ms);
        charts->Refresh();
    }
    void Click(const std::string& name)
    {
        SendMessageW(Item(name), BM_CLICK, 0, 0);
    }

    Rig rig;
    std::unique_ptr<Win32MainWindow> window;
    Win32ChartsWindow* charts = nullptr;
    ChartsPanel* panel = nullptr;
};

TEST_F(Win32ChartsTest, EveryControlIsThereAndEachChartPaintsTheModelsPicture)
{
    EXPECT_EQ(GetWindow(charts->Handle(), GW_OWNER), window->Handle());
    EXPECT_TRUE(IsWindowVisible(charts->Handle()));
    for (const ControlDesign& c : panel->Design().controls) {
        SCOPED_TRACE(c.name);
        const HWND h = Item(c.name);
        ASSERT_NE(h, nullptr);
        if (c.kind == ControlKind::Chart) {
            wchar_t cls[64] = {};
            GetClassNameW(h, cls, 64);
            EXPECT_EQ(std::wstring(cls), kChartControlClass);
        }
    }
    Run(4000);
    ASSERT_GT(panel->Recorder().Size(), 10u);

    const RgbImage capture = charts->Capture();
    ASSERT_TRUE(capture.Valid());
    int stacked = 0, widest = 0, seriesSeen = 0;
    for (const ChartDesign& chart : panel->Charts()) {
        SCOPED_TRACE(chart.name);
        const Printed printed = PrintClient(Item(chart.name));
        ASSERT_GT(printed.width, 0);
        ASSERT_EQ(printed.pixels.size(), std::size_t(printed.width) * std::size_t(printed.height));
        const int dpi = charts->Dpi();
        const ChartPicture picture =
            panel->Picture(chart.name, MulDiv(printed.width, 96, dpi), MulDiv(printed.height, 96, dpi));
        // The corner is background; the series drawn last (over the
        // others, which may lie under it) shows in its colour within the
        // plot: red and blue not swapped, the plot where the picture has it.
        EXPECT_EQ(printed.At(printed.width - 1, printed.height - 1), Pixel(picture.background));
        const ChartLine* last = nullptr;
        for (const ChartLine& l : picture.lines)
            for (const ChartSeries& s : chart.series)
                if (l.color == s.color && l.points.size() >= 2)
                    last = &l;
        if (last) {
            ++seriesSeen;
            const Bounds& plot = picture.plot;
            int shows = 0;
            for (int y = ScaleToDpi(plot.top, dpi) - 1; y <= ScaleToDpi(plot.Bottom(), dpi) + 1; ++y)
                for (int x = ScaleToDpi(plot.left, dpi) - 1; x <= ScaleToDpi(plot.Right(), dpi) + 1; ++x)
                    shows += x >= 0 && y >= 0 && x < printed.width && y < printed.height
                             && printed.At(x, y) == Pixel(last->color);
            EXPECT_GT(shows, 0) << "colour " << std::hex << last->color;
            // Outside the plot only the legend's mark has that colour: the
            // line keeps within the plot.
            int outside = 0;
            for (int y = ScaleToDpi(plot.Bottom(), dpi) + 2; y < printed.height; ++y)
                for (int x = 0; x < printed.width; ++x)
                    outside += printed.At(x, y) == Pixel(last->color);
            EXPECT_EQ(outside, 0);
        }
        // The capture stacks the charts in order, each as its control
        // paints it.
        ASSERT_LE(stacked + printed.height, capture.height);
        ASSERT_LE(printed.width, capture.width);
        int differing = 0;
        for (int y = 0; y < printed.height; ++y)
            for (int x = 0; x < printed.width; ++x)
                differing += printed.At(x, y) != capture.pixels[std::size_t(stacked + y) * std::size_t(capture.width)
                                                                 + std::size_t(x)];
        EXPECT_EQ(differing, 0);
        stacked += printed.height;
        widest = std::max(widest, printed.width);
    }
    EXPECT_EQ(capture.height, stacked);
    EXPECT_EQ(capture.width, widest);
    // At least the levers' readings are recorded on virtual boards.
    EXPECT_GT(seriesSeen, 0);
}

TEST_F(Win32ChartsTest, PauseStopsTheRecordingAndTheSpanTogglesChooseOneSpan)
{
    Run(1000);
    HWND pause = Item("Pause");
    EXPECT_EQ(WindowTextUtf8(pause), "Pause");
    Click("Pause");
    EXPECT_EQ(WindowTextUtf8(pause), "Resume");
    EXPECT_EQ(WindowTextUtf8(Item("Status")), "Paused");
    // Paused, nothing shown moves: the charts are not painted again.
    HWND chart = Item("Chart_throttles");
    UpdateWindow(chart);
    const std::size_t kept = panel->Recorder().Size();
    Run(2000);
    EXPECT_EQ(panel->Recorder().Size(), kept);
    EXPECT_FALSE(GetUpdateRect(chart, nullptr, FALSE));
    Click("Pause");
    EXPECT_EQ(WindowTextUtf8(pause), "Pause");
    UpdateWindow(chart);
    Run(1000);
    EXPECT_GT(panel->Recorder().Size(), kept);
    EXPECT_TRUE(GetUpdateRect(chart, nullptr, FALSE));

    // Pressing the span already chosen keeps it.
    for (const uint32_t span : {10000u, ChartRecorder::kLongestSpanMs, ChartRecorder::kLongestSpanMs, 30000u}) {
        SCOPED_TRACE(span);
        Click(ChartsPanel::SpanControl(span));
        EXPECT_EQ(panel->SpanMs(), span);
        for (const uint32_t other : ChartsPanel::Spans())
            EXPECT_EQ(Checked(Item(ChartsPanel::SpanControl(other))), other == span) << other;
    }
}

TEST_F(Win32ChartsTest, SaveCsvAndSavePngWriteTheirFilesBesideTheSettings)
{
    Run(2000);
    ASSERT_TRUE(IsWindowEnabled(Item("SaveCsv")));
    ASSERT_TRUE(IsWindowEnabled(Item("SavePng")));

    Click("SaveCsv");
    const std::string csv = SavedFile(rig, ".csv");
    const std::string header = std::string("time_s,") + ChartChannelName(ChartChannel(0)) + ",";
    EXPECT_EQ(csv.substr(0, header.size()), header) << csv.substr(0, 80);
    EXPECT_NE(csv.find("\r\n"), std::string::npos);
    EXPECT_EQ(WindowTextUtf8(Item("Status")).rfind("CSV saved to ", 0), 0u) << WindowTextUtf8(Item("Status"));

    Click("SavePng");
    const std::string png = SavedFile(rig, ".png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    const RgbImage capture = charts->Capture();
    EXPECT_EQ(BigEndian(png, 16), uint32_t(capture.width));
    EXPECT_EQ(BigEndian(png, 20), uint32_t(capture.height));
    EXPECT_EQ(WindowTextUtf8(Item("Status")).rfind("PNG saved to ", 0), 0u) << WindowTextUtf8(Item("Status"));
}

TEST_F(Win32ChartsTest, AnotherDpiLaysTheWindowOutAndPaintsTheChartsAtIt)
{
    Run(1000);
    const int from = charts->Dpi(), to = from * 3 / 2;
    RECT frame{};
    GetWindowRect(charts->Handle(), &frame);
    RECT suggested{frame.left, frame.top, frame.left + MulDiv(frame.right - frame.left, to, from),
                   frame.top + MulDiv(frame.bottom - frame.top, to, from)};
    SendMessageW(charts->Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(charts->Dpi(), to);
    for (const char* name : {"Pause", "Span_10", "SavePng", "Chart_trim"}) {
        SCOPED_TRACE(name);
        const Bounds& b = panel->Design().controls[std::size_t(ControlId(panel->Design(), name) - kFirstControlId)].bounds;
        RECT r{};
        GetWindowRect(Item(name), &r);
        EXPECT_EQ(r.bottom - r.top, ScaleToDpi(b.Bottom(), to) - ScaleToDpi(b.top, to));
        // The charts widen with the window: only their height is fixed.
        if (std::string(name) != "Chart_trim") {
            EXPECT_EQ(r.right - r.left, ScaleToDpi(b.Right(), to) - ScaleToDpi(b.left, to));
        }
    }
    const RgbImage capture = charts->Capture();
    int height = 0;
    for (const ChartDesign& chart : panel->Charts()) {
        RECT r{};
        GetClientRect(Item(chart.name), &r);
        height += r.bottom;
    }
    EXPECT_EQ(capture.height, height);
    EXPECT_EQ(capture.height, 4 * ScaleToDpi(panel->Design().controls.back().bounds.height, to));
}

TEST_F(Win32ChartsTest, ClosedByItsFrameOrWithTheMainWindowTheModelGoes)
{
    // The menu again: the same window, not a second one.
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(MenuCommandId("tools_charts"), 0), 0);
    EXPECT_EQ(window->Charts(), charts);

    // Closed by its frame: the window and its model go, after the message.
    SendMessageW(charts->Handle(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(window->Charts(), nullptr);
    EXPECT_EQ(rig.form->Charts(), nullptr);

    // Opened again, it goes with the main window.
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(MenuCommandId("tools_charts"), 0), 0);
    ASSERT_NE(window->Charts(), nullptr);
    ASSERT_NE(rig.form->Charts(), nullptr);
    window.reset();
    EXPECT_EQ(rig.form->Charts(), nullptr);
}

} // namespace
} // namespace zrk::test
