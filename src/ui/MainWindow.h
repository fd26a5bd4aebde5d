#pragma once
#include <QMainWindow>
#include <QTimer>
#include <cstddef>

class QButtonGroup;
class QPlainTextEdit;

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
    QTimer refresh_;
    std::size_t shownLines_ = 0;
};

} // namespace zrk
