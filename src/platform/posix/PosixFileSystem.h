#pragma once
#include "config/FileSystem.h"

namespace zrk {

// Files on a Linux disk. "\" in paths is taken as a folder separator.
// Read looks at what the path leads to before opening it, and opens without
// blocking, so a FIFO or a device never stalls the program.
// WriteFileAtomic follows a chain of symbolic links at the path to the file
// it ends at (which may not exist yet), writes "<file>.tmp-<pid>" beside
// it, flushes it to the disk, and renames it over that file; the new file
// keeps the old one's permissions and every link stays as it was.
// RemoveStaleTemporaries deletes the "<file>.tmp-<pid>" regular files whose
// process is gone (or that carry this process's own id).
class PosixFileSystem : public IFileSystem {
public:
    bool Exists(const std::string& path) override;
    FileRead Read(const std::string& path, std::size_t maxBytes) override;
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override;
    std::vector<std::string> RemoveStaleTemporaries(const std::string& path) override;
};

} // namespace zrk
