#pragma once
#include "config/FileSystem.h"

namespace zrk {

// Files on a Linux disk. "\" in paths is taken as a folder separator.
// WriteFileAtomic writes "<path>.tmp-<pid>" in the file's folder, flushes it
// to the disk, and renames it over the file; the new file keeps the old
// one's permissions.
class PosixFileSystem : public IFileSystem {
public:
    bool Exists(const std::string& path) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override;
};

} // namespace zrk
