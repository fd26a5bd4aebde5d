#pragma once
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace zrk {

// Plain values of the controls of a window. The Qt window draws them and
// forwards user actions to the controller's handlers; the controller is the
// only one that changes them.

struct TrackBarModel {
    int Position = 0;
    int Min = 0;
    int Max = 1000;
    bool Visible = true;
};

struct LabelModel {
    std::string Caption;
    bool Visible = true;
    // Text colour as 0x00BBGGRR; black until a handler colours it.
    int FontColor = 0;
};

struct RadioGroupModel {
    std::vector<std::string> Items;
    int ItemIndex = 0;
    int Color = 0;
};

struct EditModel {
    std::string Text;
};

struct CheckBoxModel {
    bool Checked = false;
};

struct UpDownModel {
    int Position = 0;
};

struct ShapeModel {
    int BrushColor = 0;
};

struct StatusBarModel {
    // The simulator link's state.
    std::string SimpleText;
    // Parts beside it: the bridge connection and the boards attached.
    std::string BridgeText;
    std::string BoardsText;
};

// The message log. Keeps the newest lines only, so that a program left
// running for days with value logging on does not grow without bound.
class MemoModel {
public:
    static constexpr std::size_t kMaxLines = 5000;

    void Clear();
    void Add(const std::string& line);
    const std::deque<std::string>& Lines() const { return lines_; }
    // Counts every line ever added, so a viewer can tell what is new.
    std::size_t TotalAdded() const { return total_; }

    int Color = 0;
    // Called with each line as it is added (standard output when headless).
    std::function<void(const std::string&)> OnLine;

private:
    std::deque<std::string> lines_;
    std::size_t total_ = 0;
};

} // namespace zrk
