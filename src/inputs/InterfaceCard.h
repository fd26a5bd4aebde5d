#pragma once

namespace zrk {

// The interface kit that delivered an input event: the main card carries
// the levers and switches of every aircraft type, the second board (opened
// for the 747 only) the 747's speedbrake, flaps and parking brake.
enum class InterfaceCard { Main, Second };

} // namespace zrk
