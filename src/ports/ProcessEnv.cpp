#include "ports/ProcessEnv.h"

namespace zrk {

namespace {

// Upper-cases ASCII letters only, so the result never depends on the locale.
std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

} // namespace

bool ExecutableMatches(const std::string& exeText, const std::string& name) {
    if (name.empty()) return false;
    const std::string upperText = AsciiUpper(exeText);
    const std::string upperName = AsciiUpper(name);
    const auto slash = upperText.find_last_of("\\/");
    const std::string fileName = slash == std::string::npos ? upperText : upperText.substr(slash + 1);
    return fileName == upperName || upperText == upperName;
}

} // namespace zrk
