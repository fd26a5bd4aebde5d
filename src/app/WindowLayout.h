#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zrk {

// The controller's windows described once, as plain data: every control
// with its kind, name, design text, the panel it sits in, its place and
// size, and its range where it has one. A renderer (the Qt window today, a
// native Windows one later) builds its widgets from this description and
// keeps them in step with the controller's models (WindowBinding.h); the
// description itself knows no toolkit.
//
// Coordinates are pixels at 96 dots per inch. A control's place is
// relative to the top-left corner of its panel (or of the form's client
// area); a panel's title bar takes the top kPanelTitleHeight pixels of it.

enum class ControlKind {
    Panel,        // a framed group with a title bar; holds other controls
    Label,
    Button,
    TrackBar,     // horizontal slider
    UpDown,       // a pair of arrows stepping a position
    Edit,         // one line of free text
    CheckBox,
    RadioGroup,   // a framed group of radio buttons, titled by its caption
    Shape,        // a lamp: a filled circle
    Memo,         // the message log
    StatusBar,    // the strip along the form's bottom edge
    // The Quadrant window's own kinds:
    Lever,        // a vertical lever over 0..max, captioned at its foot
    Toggle,       // a button that stays pressed until pressed again
    Wheel,        // the trim wheel, turning
    Dial,         // an indicator needle on a servo's arm, captioned
    List,         // lines of text, one of them chosen (the Boards window)
    Chart,        // a live chart, painted from its model's picture
};

// The edges of its panel a control keeps its distance to when the panel
// changes size. Anchored to both left and right, it widens with the panel.
enum Anchor : unsigned {
    kAnchorLeft = 1,
    kAnchorTop = 2,
    kAnchorRight = 4,
    kAnchorBottom = 8,
};
inline constexpr unsigned kAnchorTopLeft = kAnchorLeft | kAnchorTop;
inline constexpr unsigned kAnchorTopRight = kAnchorRight | kAnchorTop;
inline constexpr unsigned kAnchorAll = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;

// How a label looks; a renderer may draw all of them alike.
enum class LabelStyle {
    Caption,   // fixed text naming what stands beside it
    Heading,   // column heading
    Readout,   // a value the controller writes
    Tag,       // a short state word that shows or hides (FWD, BKD)
};

enum class TextAlign { Left, Center, Right };

inline constexpr int kPanelTitleHeight = 24;

struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool Overlaps(const Bounds& o) const
    {
        return left < o.Right() && o.left < Right() && top < o.Bottom() && o.top < Bottom();
    }
    bool Contains(const Bounds& inner) const
    {
        return inner.left >= 0 && inner.top >= 0 && inner.Right() <= width && inner.Bottom() <= height;
    }
};

struct ControlDesign {
    ControlKind kind = ControlKind::Label;
    // The component's name, unique within its form ("Label41", "TrackBar9",
    // "p_pid_p"). Fixed texts that no handler touches have descriptive names.
    std::string name;
    // Design text: a label's or button's text, a panel's title, a check
    // box's text, a radio group's title, an edit box's first text.
    std::string caption;
    // The panel or radio group it sits in; empty for the form itself.
    std::string group;
    Bounds bounds;
    // Track bars and up-downs: range and step.
    int min = 0, max = 0, step = 0;
    // Radio groups: the items, laid out in `columns` columns.
    std::vector<std::string> items;
    int columns = 1;
    // Shown in the shipped layout. Controls whose model has its own
    // visibility follow the model as well.
    bool visible = true;
    unsigned anchors = kAnchorTopLeft;
    LabelStyle style = LabelStyle::Caption;
    TextAlign align = TextAlign::Left;
};

struct FormDesign {
    // "Form1" for the main window, "Form2" .. "Form5" for the dialogs.
    std::string name;
    std::string caption;
    // Client area at design size.
    int width = 0, height = 0;
    // Shown in the middle of the screen; else at its design place.
    bool centred = false;
    int left = 0, top = 0;
    // The button a close of the window by its frame stands for (the
    // dialogs' CLOSE); empty for the main window, whose close is its own.
    std::string closeButton;
    // In tab order; a panel comes before the controls it holds.
    std::vector<ControlDesign> controls;

    const ControlDesign* Find(std::string_view controlName) const;
};

// The numeric id of a control in a native window: kFirstControlId plus its
// place in its form's `controls`; 0 for a name the form does not have.
// Renderers that give controls ids use these, so that another program
// (an accessibility tool, a test driving the window) finds a control by
// its name.
inline constexpr int kFirstControlId = 1000;
int ControlId(const FormDesign& form, std::string_view controlName);

// The main window "Form1".
const FormDesign& MainWindowLayout();
// The calibration dialogs "Form2" (throttles), "Form3" (reversers), "Form4"
// (flaps), "Form5" (speedbrake), in this order.
const std::vector<FormDesign>& DialogLayouts();
// A form by its name; nullptr when there is none.
const FormDesign* FindFormLayout(std::string_view formName);

} // namespace zrk
