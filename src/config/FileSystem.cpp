#include "config/FileSystem.h"

namespace zrk {

std::optional<std::string> IFileSystem::ReadFile(const std::string& path)
{
    FileRead file = Read(path, kMaxSettingsFileBytes);
    if (file.status != FileRead::Status::Read)
        return std::nullopt;
    return std::move(file.bytes);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    const char last = folder.back();
    if (last == '/' || last == '\\')
        return folder + name;
    return folder + "/" + name;
}

} // namespace zrk
