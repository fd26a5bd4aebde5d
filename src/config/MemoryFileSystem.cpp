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
    return files_.count(Normal(path)) != 0;
}

std::optional<std::string> MemoryFileSystem::ReadFile(const std::string& path)
{
    auto it = files_.find(Normal(path));
    if (it == files_.end())
        return std::nullopt;
    return it->second;
}

std::string MemoryFileSystem::WriteFileAtomic(const std::string& path, const std::string& bytes)
{
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

} // namespace zrk
