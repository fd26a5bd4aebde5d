#include "app/WindowModel.h"

namespace zrk {

void MemoModel::Clear()
{
    lines_.clear();
}

void MemoModel::Add(const std::string& line)
{
    lines_.push_back(line);
    ++total_;
    while (lines_.size() > kMaxLines)
        lines_.pop_front();
    if (OnLine)
        OnLine(line);
}

} // namespace zrk
