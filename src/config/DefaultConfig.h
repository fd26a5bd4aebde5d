#pragma once
#include <string>

namespace zrk {

// The CONFIG.INI written on a first start, byte for byte (CR LF line ends).
std::string DefaultConfigText();

} // namespace zrk
