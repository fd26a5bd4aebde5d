#pragma once
#include <QMainWindow>
#include <QTimer>
#include <cstddef>

#include <array>

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QSlider;

namespace zrk {

class TForm1;

// Draws the controller's window model and forwards the user's actions to
// its handlers; it keeps no state of its own beyond what it has drawn.
class MainWindow : public QMainWindow {
public:
    explicit MainWindow(TForm1& form);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Refresh();

    TForm1& form_;
    QButtonGroup* aircraftType_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    // One row per lever: caption, slider, raw reading, value to the simulator.
    struct LeverRow {
        QLabel* caption = nullptr;
        QSlider* slider = nullptr;
        QLabel* raw = nullptr;
        QLabel* toSim = nullptr;
        int trackBar = 0, rawLabel = 0, toSimLabel = 0;
    };
    std::array<LeverRow, 10> levers_{};
    QLabel* speedbrakeArmed_ = nullptr;
    QTimer refresh_;
    std::size_t shownLines_ = 0;
};

} // namespace zrk
