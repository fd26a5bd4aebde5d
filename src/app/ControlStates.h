#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace zrk {

// The values a window's model shows, one State per control by name, with a
// count of the changes, so that a renderer redraws only when something it
// shows moved. State is a plain value compared with ==.
template <class State>
class ControlStates {
public:
    // Stores the control's state; a change is counted when it differs from
    // the one stored (or there was none).
    void Set(const std::string& control, State state)
    {
        auto it = states_.find(control);
        if (it == states_.end()) {
            states_.emplace(control, std::move(state));
            ++changes_;
        } else if (!(it->second == state)) {
            it->second = std::move(state);
            ++changes_;
        }
    }
    // The control's state; an empty state for a control never set.
    const State& Get(std::string_view control) const
    {
        static const State none{};
        const auto it = states_.find(control);
        return it == states_.end() ? none : it->second;
    }
    bool Has(std::string_view control) const { return states_.find(control) != states_.end(); }
    // Counts a change of something else the window shows.
    void Touch() { ++changes_; }
    uint64_t Changes() const { return changes_; }

private:
    std::map<std::string, State, std::less<>> states_;
    uint64_t changes_ = 0;
};

} // namespace zrk
