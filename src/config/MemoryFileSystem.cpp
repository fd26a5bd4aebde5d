#include "config/MemoryFileSystem.h"

namespace zrk {

std::string MemoryFileSystem::Normal(const std::string& path)
{
    std::string p = path;
    for (char& c : p)
        if (c == '\\')
            c = '/';
    return p;
}

bool MemoryFileSystem::Exists(const std::string& path)
{
    const std::string p = Normal(path);
    return files_.count(p) != 0 || special_.count(p) != 0;
}

FileRead MemoryFileSystem::Read(const std::string& path, std::size_t maxBytes)
{
    const std::string p = Normal(path);
    if (special_.count(p) != 0)
        return {FileRead::Status::Refused, {}, p + " is not a regular file"};
    auto it = files_.find(p);
    if (it == files_.end())
        return {FileRead::Status::Missing, {}, {}};
    if (it->second.size() > maxBytes)
        return {FileRead::Status::Refused, {},
                p + " is larger than " + std::to_string(maxBytes) + " bytes"};
    return {FileRead::Status::Read, it->second, {}};
}

std::string MemoryFileSystem::WriteFileAtomic(const std::string& path, const std::string& bytes)
{
    if (special_.count(Normal(path)) != 0)
        return "cannot replace " + path + ": not a regular file";
    switch (failure_) {
    case Failure::WriteTemp:
        return "cannot write " + path + ".tmp: no space left on device";
    case Failure::Rename:
        return "cannot replace " + path + ": access denied";
    case Failure::None:
        break;
    }
    files_[Normal(path)] = bytes;
    ++writes_;
    return {};
}

std::vector<std::string> MemoryFileSystem::RemoveStaleTemporaries(const std::string& path)
{
    const std::string prefix = Normal(path) + ".tmp-";
    std::vector<std::string> removed;
    for (auto it = files_.lower_bound(prefix); it != files_.end() && it->first.starts_with(prefix);) {
        const std::string_view suffix = std::string_view(it->first).substr(prefix.size());
        if (!suffix.empty() && suffix.find_first_not_of("0123456789") == std::string_view::npos) {
            removed.push_back(it->first);
            it = files_.erase(it);
        } else {
            ++it;
        }
    }
    return removed;
}

} // namespace zrk
