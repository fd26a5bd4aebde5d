#include "ui/FormRenderer.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <algorithm>
#include <memory>
#include <utility>

#include "app/TForm1.h"
#include "ui/Widgets.h"

namespace zrk {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

Qt::Alignment AlignmentOf(TextAlign a)
{
    switch (a) {
    case TextAlign::Center:
        return Qt::AlignCenter;
    case TextAlign::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TextAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

const char* RoleOf(LabelStyle s)
{
    switch (s) {
    case LabelStyle::Heading:
        return "heading";
    case LabelStyle::Readout:
        return "readout";
    case LabelStyle::Tag:
        return "tag";
    case LabelStyle::Caption:
        break;
    }
    return "caption";
}

void ShowIf(QWidget* w, bool visible)
{
    if (w->isHidden() == visible)
        w->setVisible(visible);
}

// The message log's view: appends the lines it has not shown yet and
// follows the newest line, unless the user has scrolled up to read older
// ones; scrolling back to the end follows again.
class MemoView {
public:
    explicit MemoView(QPlainTextEdit* view) : view_(view)
    {
        QScrollBar* bar = view_->verticalScrollBar();
        // The document's layout, and with it the scroll range, is settled
        // lazily (and first when the window shows): follow it as it grows.
        QObject::connect(bar, &QScrollBar::rangeChanged, view_, [this, bar](int, int max) {
            if (follow_) {
                adjusting_ = true;
                bar->setValue(max);
                adjusting_ = false;
            }
        });
        QObject::connect(bar, &QScrollBar::valueChanged, view_, [this, bar](int value) {
            if (!adjusting_)
                follow_ = value >= bar->maximum();
        });
    }

    void Refresh(const MemoModel& memo)
    {
        const std::size_t total = memo.TotalAdded();
        if (total == shown_)
            return;
        adjusting_ = true;
        if (total < shown_ || total - shown_ > memo.Lines().size()) {
            // Cleared, or more arrived than the model keeps: draw it whole.
            view_->clear();
            for (const std::string& l : memo.Lines())
                view_->appendPlainText(Q(l));
        } else {
            const std::size_t fresh = total - shown_;
            for (std::size_t i = memo.Lines().size() - fresh; i < memo.Lines().size(); ++i)
                view_->appendPlainText(Q(memo.Lines()[i]));
        }
        shown_ = total;
        QScrollBar* bar = view_->verticalScrollBar();
        if (follow_)
            bar->setValue(bar->maximum());
        adjusting_ = false;
    }

private:
    QPlainTextEdit* view_;
    std::size_t shown_ = 0;
    bool follow_ = true;
    bool adjusting_ = false;
};

} // namespace

FormRenderer::FormRenderer(const FormDesign& design, TForm1& form, AnchorArea& root, QStatusBar* statusBar,
                           std::function<void()> afterAction)
    : design_(design), form_(form), afterAction_(std::move(afterAction))
{
    for (const ControlDesign& c : design_.controls) {
        QWidget* parent = &root;
        if (!c.group.empty()) {
            auto it = byName_.find(c.group);
            parent = it != byName_.end() ? it->second : &root;
        }
        const ControlModel model = BindControl(form_, design_.name, c.name);
        std::function<void()> refresh;
        QWidget* w = Build(c, model, parent, statusBar, refresh);
        if (!w)
            continue;
        w->setObjectName(Q(c.name));
        if (c.kind != ControlKind::StatusBar) {
            if (auto* area = dynamic_cast<AnchorArea*>(parent))
                area->Place(w, c.bounds, c.anchors);
        }
        if (!c.visible)
            w->hide();
        byName_.emplace(c.name, w);
        drawn_.push_back({&c, model, w, std::move(refresh)});
    }
    Refresh();
}

QWidget* FormRenderer::Widget(std::string_view control) const
{
    auto it = byName_.find(control);
    return it == byName_.end() ? nullptr : it->second;
}

void FormRenderer::Act(const std::function<bool()>& action)
{
    action();
    if (afterAction_)
        afterAction_();
}

void FormRenderer::Refresh()
{
    for (Drawn& d : drawn_)
        if (d.refresh)
            d.refresh();
}

QWidget* FormRenderer::Build(const ControlDesign& c, const ControlModel& model, QWidget* parent, QStatusBar* statusBar,
                             std::function<void()>& refresh)
{
    const std::string action = ActionName(design_.name, c.name);

    switch (c.kind) {
    case ControlKind::Panel:
        return new FramePanel(Q(c.caption), QSize(c.bounds.width, c.bounds.height), parent);

    case ControlKind::Label: {
        auto* l = new QLabel(Q(LabelText(c, model.label)), parent);
        l->setProperty("role", RoleOf(c.style));
        l->setAlignment(AlignmentOf(c.align));
        if (!model.label)
            return l;
        refresh = [this, l, &c, model, shown = std::string(), color = 0]() mutable {
            const std::string text = LabelText(c, model.label);
            if (text != shown) {
                l->setText(Q(text));
                shown = text;
            }
            // A colour a handler set wins over the theme's; 0 (the form's
            // black) is the theme's text colour, readable on either theme.
            if (model.label->FontColor != color) {
                color = model.label->FontColor;
                l->setStyleSheet(color ? QStringLiteral("color: %1;").arg(FromFormColor(color).name()) : QString());
            }
            ShowIf(l, ControlVisible(c, model));
        };
        return l;
    }

    case ControlKind::Button: {
        auto* b = new QPushButton(Q(c.caption), parent);
        // Enter in a dialog must not press a capture button by itself.
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, b, [this, action] { Act([&] { return form_.Click(action); }); });
        return b;
    }

    case ControlKind::TrackBar: {
        auto* s = new Slider(Qt::Horizontal, parent);
        s->setRange(c.min, c.max);
        s->setSingleStep(std::max(1, c.step));
        s->setPageStep(std::max(1, (c.max - c.min) / 20));
        s->setFocusPolicy(Qt::StrongFocus);
        const int n = TrackBarNumber(c.name);
        QObject::connect(s, &QSlider::valueChanged, s,
                         [this, n](int v) { Act([&] { return form_.SetTrackBar(n, v); }); });
        if (model.trackBar) {
            refresh = [this, s, &c, model] {
                const TrackBarModel& m = *model.trackBar;
                const QSignalBlocker block(s);
                if (s->minimum() != m.Min || s->maximum() != m.Max)
                    s->setRange(m.Min, m.Max);
                if (s->value() != m.Position)
                    s->setValue(m.Position);
                ShowIf(s, ControlVisible(c, model));
            };
        }
        return s;
    }

    case ControlKind::UpDown: {
        // The arrows (and arrow keys) step the position; an up-down takes no
        // typed text, the value label beside it shows the setting.
        auto* u = new UpDownBox(parent);
        u->setRange(c.min, c.max);
        u->setSingleStep(std::max(1, c.step));
        u->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        u->setFocusPolicy(Qt::StrongFocus);
        if (QLineEdit* line = u->findChild<QLineEdit*>())
            line->setReadOnly(true);
        QObject::connect(u, &QSpinBox::valueChanged, u, [this, name = c.name](int v) {
            Act([&] { return form_.SetUpDown(name, v); });
        });
        if (model.upDown) {
            refresh = [u, model] {
                const QSignalBlocker block(u);
                if (u->value() != model.upDown->Position)
                    u->setValue(model.upDown->Position);
            };
        }
        return u;
    }

    case ControlKind::Edit: {
        auto* e = new QLineEdit(Q(c.caption), parent);
        e->setProperty("role", "edit");
        QObject::connect(e, &QLineEdit::textEdited, e, [this, name = c.name](const QString& text) {
            Act([&] { return form_.SetEdit(name, text.toStdString()); });
        });
        if (model.edit) {
            refresh = [e, model] {
                const QString text = Q(model.edit->Text);
                if (e->text() != text) {
                    const QSignalBlocker block(e);
                    e->setText(text);
                }
            };
        }
        return e;
    }

    case ControlKind::CheckBox: {
        auto* b = new QCheckBox(Q(c.caption), parent);
        QObject::connect(b, &QCheckBox::clicked, b, [this, name = c.name](bool checked) {
            Act([&] { return form_.SetCheck(name, checked); });
        });
        if (model.checkBox) {
            refresh = [b, model] {
                const QSignalBlocker block(b);
                if (b->isChecked() != model.checkBox->Checked)
                    b->setChecked(model.checkBox->Checked);
            };
        }
        return b;
    }

    case ControlKind::RadioGroup: {
        auto* panel = new FramePanel(Q(c.caption), QSize(c.bounds.width, c.bounds.height), parent);
        auto* group = new QButtonGroup(panel);
        const int n = int(c.items.size());
        const int columns = std::max(1, c.columns);
        const int rows = std::max(1, (n + columns - 1) / columns);
        const int areaX = 12, areaY = kPanelTitleHeight + 4;
        const int areaW = c.bounds.width - 2 * areaX, areaH = c.bounds.height - areaY - 8;
        const int cellW = areaW / columns, cellH = std::min(24, areaH / rows);
        for (int i = 0; i < n; ++i) {
            auto* r = new QRadioButton(Q(c.items[std::size_t(i)]), panel);
            r->setObjectName(Q(c.name + "." + std::to_string(i)));
            panel->Place(r, {areaX + (i % columns) * cellW, areaY + (i / columns) * cellH, cellW, cellH},
                         kAnchorTopLeft);
            group->addButton(r, i);
        }
        QObject::connect(group, &QButtonGroup::idClicked, panel, [this, name = c.name](int id) {
            Act([&] { return form_.SelectRadio(name, id); });
        });
        if (model.radioGroup) {
            refresh = [group, model] {
                const int index = model.radioGroup->ItemIndex;
                QAbstractButton* want = group->button(index);
                if (want == group->checkedButton())
                    return;
                for (QAbstractButton* b : group->buttons())
                    b->blockSignals(true);
                if (want) {
                    want->setChecked(true);
                } else {
                    // No item selected (an index outside the items).
                    group->setExclusive(false);
                    for (QAbstractButton* b : group->buttons())
                        b->setChecked(false);
                    group->setExclusive(true);
                }
                for (QAbstractButton* b : group->buttons())
                    b->blockSignals(false);
            };
        }
        return panel;
    }

    case ControlKind::Shape: {
        auto* lamp = new Lamp(parent);
        if (model.shape)
            refresh = [lamp, model] { lamp->SetColor(model.shape->BrushColor); };
        return lamp;
    }

    case ControlKind::Memo: {
        auto* m = new QPlainTextEdit(parent);
        m->setReadOnly(true);
        m->setTabChangesFocus(true);
        m->setMaximumBlockCount(int(MemoModel::kMaxLines));
        // Long lines wrap, so every line starts with its time at the left
        // edge and the log never opens scrolled sideways.
        m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (model.memo) {
            auto view = std::make_shared<MemoView>(m);
            refresh = [view, model] { view->Refresh(*model.memo); };
        }
        return m;
    }

    case ControlKind::StatusBar: {
        QWidget* bar = statusBar ? static_cast<QWidget*>(statusBar) : parent;
        auto* text = new QLabel(bar);
        // The bridge's and the boards' parts, at the bar's right end.
        auto* bridge = new QLabel(bar);
        auto* boards = new QLabel(bar);
        bridge->setObjectName(Q(c.name + ".bridge"));
        boards->setObjectName(Q(c.name + ".boards"));
        if (statusBar) {
            statusBar->addWidget(text, 1);
            statusBar->addPermanentWidget(bridge);
            statusBar->addPermanentWidget(boards);
        }
        if (model.statusBar) {
            refresh = [text, bridge, boards, model] {
                const std::pair<QLabel*, const std::string*> parts[] = {{text, &model.statusBar->SimpleText},
                                                                        {bridge, &model.statusBar->BridgeText},
                                                                        {boards, &model.statusBar->BoardsText}};
                for (const auto& [label, value] : parts) {
                    const QString t = Q(*value);
                    if (label->text() != t)
                        label->setText(t);
                }
            };
        }
        return text;
    }

    // The Quadrant window's own kinds have their own renderer.
    case ControlKind::Lever:
    case ControlKind::Toggle:
    case ControlKind::Wheel:
    case ControlKind::Dial:
    case ControlKind::List:
    case ControlKind::Chart: break;
    }
    return nullptr;
}

} // namespace zrk
