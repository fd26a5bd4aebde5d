#pragma once
#include <map>
#include <string>

#include "config/FileSystem.h"

namespace zrk {

// An in-memory file system for tests and scenarios. Failures can be
// injected to check that a failed save is reported and loses nothing.
class MemoryFileSystem : public IFileSystem {
public:
    enum class Failure {
        None,
        WriteTemp,   // the temporary file cannot be written (read-only folder, full disk)
        Rename,      // the temporary file is written, the rename over the old one fails
    };

    bool Exists(const std::string& path) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override;

    void Put(const std::string& path, const std::string& bytes) { files_[Normal(path)] = bytes; }
    void Remove(const std::string& path) { files_.erase(Normal(path)); }
    void FailWrites(Failure f) { failure_ = f; }
    int WriteCount() const { return writes_; }
    const std::map<std::string, std::string>& Files() const { return files_; }

private:
    static std::string Normal(const std::string& path);
    std::map<std::string, std::string> files_;
    Failure failure_ = Failure::None;
    int writes_ = 0;
};

} // namespace zrk
