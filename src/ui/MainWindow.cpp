#include "ui/MainWindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/TForm1.h"

namespace zrk {

namespace {

QColor FromDelphiColor(int c)
{
    // The colour values are stored as 0x00BBGGRR.
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

} // namespace

MainWindow::MainWindow(TForm1& form) : form_(form)
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* top = new QHBoxLayout();
    auto* typeBox = new QGroupBox(QStringLiteral("Aircraft Type"), central);
    auto* typeLayout = new QHBoxLayout(typeBox);
    aircraftType_ = new QButtonGroup(this);
    for (std::size_t i = 0; i < form_.aircraft_type.Items.size(); ++i) {
        auto* b = new QRadioButton(QString::fromStdString(form_.aircraft_type.Items[i]), typeBox);
        typeLayout->addWidget(b);
        aircraftType_->addButton(b, int(i));
    }
    QObject::connect(aircraftType_, &QButtonGroup::idClicked, this, [this](int id) {
        form_.aircraft_type.ItemIndex = id;
        form_.aircraft_typeClick();
        Refresh();
    });
    top->addWidget(typeBox);
    auto* save = new QPushButton(QStringLiteral("Save Config"), central);
    QObject::connect(save, &QPushButton::clicked, this, [this] {
        form_.Button10Click();
        Refresh();
    });
    top->addWidget(save);
    top->addStretch();
    layout->addLayout(top);

    // The levers as the controller sees them.
    auto* leverBox = new QGroupBox(QStringLiteral("Levers"), central);
    auto* grid = new QGridLayout(leverBox);
    const char* headings[] = {"", "", "PH Raw", "To FS"};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(new QLabel(QString::fromUtf8(headings[c]), leverBox), 0, c);
    struct Row {
        const char* caption;
        int trackBar, rawLabel, toSimLabel;
    };
    static const Row rows[10] = {
        {"Throttle 1", 1, 1, 19}, {"Throttle 2", 2, 2, 21}, {"Throttle 3", 3, 3, 24}, {"Throttle 4", 4, 4, 25},
        {"Reverser 1", 5, 5, 26}, {"Reverser 2", 6, 6, 27}, {"Reverser 3", 7, 7, 28}, {"Reverser 4", 8, 8, 29},
        {"SpeedBrake", 9, 20, 30}, {"Flaps", 10, 17, 60},
    };
    for (int i = 0; i < 10; ++i) {
        LeverRow& r = levers_[std::size_t(i)];
        r.trackBar = rows[i].trackBar;
        r.rawLabel = rows[i].rawLabel;
        r.toSimLabel = rows[i].toSimLabel;
        r.caption = new QLabel(QString::fromUtf8(rows[i].caption), leverBox);
        r.slider = new QSlider(Qt::Horizontal, leverBox);
        r.slider->setEnabled(false);   // shows the lever; hand-driving comes with the test modes
        r.raw = new QLabel(leverBox);
        r.toSim = new QLabel(leverBox);
        r.raw->setMinimumWidth(50);
        r.toSim->setMinimumWidth(90);
        grid->addWidget(r.caption, i + 1, 0);
        grid->addWidget(r.slider, i + 1, 1);
        grid->addWidget(r.raw, i + 1, 2);
        grid->addWidget(r.toSim, i + 1, 3);
    }
    speedbrakeArmed_ = new QLabel(leverBox);
    grid->addWidget(speedbrakeArmed_, 11, 1);
    layout->addWidget(leverBox);

    memo_ = new QPlainTextEdit(central);
    memo_->setReadOnly(true);
    memo_->setMaximumBlockCount(int(MemoModel::kMaxLines));
    layout->addWidget(memo_);
    setCentralWidget(central);
    resize(760, 820);

    QPalette p = memo_->palette();
    p.setColor(QPalette::Base, FromDelphiColor(form_.Memo1.Color));
    memo_->setPalette(p);
    typeBox->setAutoFillBackground(true);
    QPalette tp = typeBox->palette();
    tp.setColor(QPalette::Window, FromDelphiColor(form_.aircraft_type.Color));
    typeBox->setPalette(tp);

    refresh_.setInterval(100);
    QObject::connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    refresh_.start();
    Refresh();
}

void MainWindow::Refresh()
{
    setWindowTitle(QString::fromStdString(form_.Caption));
    if (auto* b = aircraftType_->button(form_.aircraft_type.ItemIndex); b && !b->isChecked())
        b->setChecked(true);

    for (LeverRow& r : levers_) {
        const TrackBarModel& bar = form_.TrackBar(r.trackBar);
        r.slider->setRange(bar.Min, bar.Max);
        r.slider->setValue(bar.Position);
        for (QWidget* w : {static_cast<QWidget*>(r.caption), static_cast<QWidget*>(r.slider),
                           static_cast<QWidget*>(r.raw), static_cast<QWidget*>(r.toSim)})
            w->setVisible(bar.Visible);
        r.raw->setText(QString::fromStdString(form_.Label(r.rawLabel).Caption));
        r.toSim->setText(QString::fromStdString(form_.Label(r.toSimLabel).Caption));
    }
    speedbrakeArmed_->setText(QString::fromStdString(form_.Label(23).Caption));

    const MemoModel& memo = form_.Memo1;
    const std::size_t total = memo.TotalAdded();
    if (total < shownLines_ || total - shownLines_ > memo.Lines().size()) {
        // The log was cleared or more arrived than it keeps: redraw it whole.
        memo_->clear();
        for (const std::string& l : memo.Lines())
            memo_->appendPlainText(QString::fromStdString(l));
    } else {
        const std::size_t fresh = total - shownLines_;
        for (std::size_t i = memo.Lines().size() - fresh; i < memo.Lines().size(); ++i)
            memo_->appendPlainText(QString::fromStdString(memo.Lines()[i]));
    }
    shownLines_ = total;
    statusBar()->showMessage(QString::fromStdString(form_.StatusBar1.SimpleText));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!form_.FormCloseQuery()) {
        event->ignore();
        Refresh();
        return;
    }
    form_.FormClose();
    refresh_.stop();
    event->accept();
}

} // namespace zrk
