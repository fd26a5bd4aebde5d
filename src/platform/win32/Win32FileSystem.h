#pragma once
#include "config/FileSystem.h"

namespace zrk {

// Files on a Windows disk; "/" and "\" both separate folders.
// WriteFileAtomic writes "<path>.tmp-<pid>" in the file's folder, flushes it
// to the disk, and moves it over the file in one step.
class Win32FileSystem : public IFileSystem {
public:
    bool Exists(const std::string& path) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override;
};

} // namespace zrk
