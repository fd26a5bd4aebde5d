#pragma once
#include <map>
#include <set>
#include <string>

#include "config/FileSystem.h"

namespace zrk {

// An in-memory file system for tests and scenarios. Failures can be
// injected to check that a failed save is reported and loses nothing, and
// a path can stand for something that is not a regular file.
class MemoryFileSystem : public IFileSystem {
public:
    enum class Failure {
        None,
        WriteTemp,   // the temporary file cannot be written (read-only folder, full disk)
        Rename,      // the temporary file is written, the rename over the old one fails
    };

    bool Exists(const std::string& path) override;
    FileRead Read(const std::string& path, std::size_t maxBytes) override;
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override;
    // Deletes every "<path>.tmp-<digits>" file.
    std::vector<std::string> RemoveStaleTemporaries(const std::string& path) override;

    void Put(const std::string& path, const std::string& bytes) { files_[Normal(path)] = bytes; }
    // Something that exists at `path` but is no regular file (a FIFO, a
    // device, a folder): it is refused for reading and never replaced.
    void PutSpecial(const std::string& path) { special_.insert(Normal(path)); }
    void Remove(const std::string& path) { files_.erase(Normal(path)); }
    void FailWrites(Failure f) { failure_ = f; }
    int WriteCount() const { return writes_; }
    const std::map<std::string, std::string>& Files() const { return files_; }

private:
    static std::string Normal(const std::string& path);
    std::map<std::string, std::string> files_;
    std::set<std::string> special_;
    Failure failure_ = Failure::None;
    int writes_ = 0;
};

} // namespace zrk
