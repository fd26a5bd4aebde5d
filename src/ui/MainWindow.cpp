#include "ui/MainWindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
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

    memo_ = new QPlainTextEdit(central);
    memo_->setReadOnly(true);
    memo_->setMaximumBlockCount(int(MemoModel::kMaxLines));
    layout->addWidget(memo_);
    setCentralWidget(central);
    resize(720, 480);

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
