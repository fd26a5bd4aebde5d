#pragma once
#include <optional>
#include <string>

namespace zrk {

// The few file operations the configuration needs. Paths use "/" or "\"
// as separator; adapters convert them to the platform's form.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    virtual bool Exists(const std::string& path) = 0;
    // The whole file as bytes, or nothing when it cannot be read.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // Replaces the file's content atomically: the new bytes go to a
    // temporary file in the same folder, which is then renamed over the
    // old one, so a failure at any point leaves the old file as it was.
    // Returns an empty string on success, else a description of the failure.
    virtual std::string WriteFileAtomic(const std::string& path, const std::string& bytes) = 0;
};

// Joins a folder and a file name with "/" (an empty folder gives the name).
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace zrk
