#pragma once
#include <deque>
#include <string>
#include <vector>

#include "ports/Dialogs.h"

namespace zrk {

// Dialogs answered from a script: each question takes the next answer, or
// `defaultAnswer` when the script is empty. Every text shown is recorded.
class VirtualDialogs : public IDialogs {
public:
    DialogAnswer AskYesNoCancel(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return defaultAnswer;
        DialogAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowError(const std::string& text) override { errors.push_back(text); }

    DialogAnswer defaultAnswer = DialogAnswer::No;
    std::deque<DialogAnswer> answers;
    std::vector<std::string> questions;
    std::vector<std::string> errors;
};

} // namespace zrk
