#pragma once
#include "config/FileSystem.h"

namespace zrk {

// Files on a Windows disk; "/" and "\" both separate folders.
// Read refuses whatever is not a disk file (a pipe, a device).
// WriteFileAtomic writes "<path>.tmp-<pid>" in the file's folder, flushes it
// to the disk, and moves it over the file in one step (MoveFileEx). While
// another program holds the file open, the move is tried again for about a
// second before the save is reported as failed. A
// symbolic link is written through to the file it leads to; a link whose
// file cannot be opened is not replaced.
// RemoveStaleTemporaries deletes the "<file>.tmp-<pid>" files whose process
// is gone (or that carry this process's own id).
class Win32FileSystem : public IFileSystem {
public:
    bool Exists(const std::string& path) override;
    FileRead Read(const std::string& path, std::size_t maxBytes) override;
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override;
    std::vector<std::string> RemoveStaleTemporaries(const std::string& path) override;
};

} // namespace zrk
