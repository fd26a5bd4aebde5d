#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zrk {

// The largest settings file the controller reads. A real CONFIG.INI holds
// about 4 KB; anything beyond 1 MiB is not a settings file, and reading it
// would only cost time and memory.
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t(1) << 20;

// What reading a whole file gave.
struct FileRead {
    enum class Status {
        Read,      // `bytes` holds the file
        Missing,   // nothing of that name
        Refused,   // not a regular file, too large, or unreadable: see `problem`
    };
    Status status = Status::Missing;
    std::string bytes;
    // For Refused: what is wrong, naming the path ("... is not a regular file").
    std::string problem;
};

// The few file operations the configuration needs. Paths use "/" or "\"
// as separator; adapters convert them to the platform's form.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    virtual bool Exists(const std::string& path) = 0;
    // A whole regular file of at most `maxBytes` bytes. Anything else (a
    // folder, a FIFO, a device, a link to one) is refused without waiting
    // for it, and a larger file without reading more than `maxBytes` + 1
    // bytes of it.
    virtual FileRead Read(const std::string& path, std::size_t maxBytes) = 0;
    // Replaces the file's content atomically: the new bytes go to a
    // temporary file in the same folder, which is then renamed over the
    // old one, so a failure at any point leaves the old file as it was.
    // A symbolic link is written through: the file it leads to is replaced
    // (or, for a dangling link, created) and the link stays. What is there
    // and is not a regular file is never replaced.
    // Returns an empty string on success, else a description of the failure.
    virtual std::string WriteFileAtomic(const std::string& path, const std::string& bytes) = 0;
    // Deletes the temporary files that WriteFileAtomic calls of earlier
    // processes left beside `path` (or beside the file a link at `path`
    // leads to) when they were interrupted. Returns the paths deleted.
    virtual std::vector<std::string> RemoveStaleTemporaries(const std::string& path) = 0;

    // The bytes of a settings file (Read with kMaxSettingsFileBytes), or
    // nothing when it is missing or refused.
    std::optional<std::string> ReadFile(const std::string& path);
};

// Joins a folder and a file name with "/" (an empty folder gives the name).
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace zrk
