#pragma once
#include <string>

namespace zrk {

enum class DialogAnswer { Yes, No, Cancel };

// Modal questions and messages shown to the user.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    // A confirmation with the buttons Yes, No and Cancel.
    virtual DialogAnswer AskYesNoCancel(const std::string& text) = 0;
    // An error message box with an OK button.
    virtual void ShowError(const std::string& text) = 0;
};

} // namespace zrk
