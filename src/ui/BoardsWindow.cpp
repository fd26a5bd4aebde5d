#include "ui/BoardsWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/BoardsPanel.h"
#include "ui/Widgets.h"

namespace zrk {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace

BoardsWindow::BoardsWindow(BoardsPanel& panel, std::function<void()> onClose, QWidget* parent)
    : PanelWindow(std::move(onClose), kRefreshMs, parent), panel_(panel)
{
    setWindowFlag(Qt::Window);
    const FormDesign& design = BoardsPanel::Design();
    setWindowTitle(Q(design.caption));
    setAttribute(Qt::WA_StyledBackground);

    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(false);
    auto* content = new AnchorArea(QSize(design.width, design.height), scroll_);
    content_ = content;
    content_->setObjectName(QStringLiteral("boards_contents"));
    content_->resize(design.width, design.height);
    frame->addWidget(scroll_);

    std::map<std::string, AnchorArea*, std::less<>> panels;
    for (const ControlDesign& c : design.controls) {
        AnchorArea* into = content;
        if (const auto it = panels.find(c.group); !c.group.empty() && it != panels.end())
            into = it->second;
        QWidget* w = Make(c, into);
        if (!w)
            continue;
        w->setObjectName(Q(c.name));
        into->Place(w, c.bounds, c.anchors);
        if (c.kind == ControlKind::Panel)
            panels[c.name] = static_cast<AnchorArea*>(w);
        drawn_.push_back({&c, w});
        byName_[c.name] = w;
    }
    scroll_->setWidget(content_);
    resize(sizeHint());
    Refresh();
}

BoardsWindow::~BoardsWindow() = default;

QSize BoardsWindow::sizeHint() const
{
    return content_ ? content_->size() : QWidget::sizeHint();
}

QWidget* BoardsWindow::Make(const ControlDesign& c, QWidget* parent)
{
    const std::string name = c.name;
    switch (c.kind) {
    case ControlKind::Panel: return new FramePanel(Q(c.caption), QSize(c.bounds.width, c.bounds.height), parent);
    case ControlKind::Label: {
        auto* l = new QLabel(Q(c.caption), parent);
        l->setProperty("role", "readout");
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    }
    case ControlKind::Button: {
        auto* b = new QPushButton(Q(c.caption), parent);
        connect(b, &QPushButton::clicked, this, [this, name] {
            const bool close = name == BoardsPanel::Design().closeButton;
            panel_.Press(name);
            if (close) {
                this->close();
                return;
            }
            Acted();
        });
        return b;
    }
    case ControlKind::List: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        connect(list, &QListWidget::currentRowChanged, this, [this, name](int row) {
            panel_.Select(name, row);
            Acted();
        });
        return list;
    }
    default: return nullptr;   // none in this window
    }
}

void BoardsWindow::Show(const Drawn& d)
{
    const BoardsControlState& s = panel_.State(d.design->name);
    QWidget* w = d.widget;
    if (w->isEnabled() != s.enabled)
        w->setEnabled(s.enabled);
    switch (d.design->kind) {
    case ControlKind::Label: {
        auto* l = static_cast<QLabel*>(w);
        if (l->text() != Q(s.text))
            l->setText(Q(s.text));
        break;
    }
    case ControlKind::List: {
        auto* list = static_cast<QListWidget*>(w);
        const QSignalBlocker block(list);
        bool same = list->count() == int(s.lines.size());
        for (int i = 0; same && i < list->count(); ++i)
            same = list->item(i)->text() == Q(s.lines[std::size_t(i)]);
        if (!same) {
            list->clear();
            for (const std::string& line : s.lines)
                list->addItem(Q(line));
        }
        const int row = int(s.value);
        if (list->currentRow() != row)
            list->setCurrentRow(row);
        break;
    }
    default: break;
    }
}

// The model is brought up to date by the controller's cycle.
uint64_t BoardsWindow::LookAtModel() { return panel_.Changes(); }

void BoardsWindow::Redraw()
{
    for (const Drawn& d : drawn_)
        Show(d);
}

QWidget* BoardsWindow::Widget(std::string_view control) const
{
    const auto it = byName_.find(control);
    return it == byName_.end() ? nullptr : it->second;
}

} // namespace zrk
