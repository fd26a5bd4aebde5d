#include "platform/posix/PosixFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace zrk {

namespace {

// As many links as the kernel follows before it gives up (ELOOP).
constexpr int kMaxLinkHops = 40;

std::string ToPosixPath(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

std::string Failure(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

FileRead Refused(std::string problem) { return {FileRead::Status::Refused, {}, std::move(problem)}; }

std::string TooLarge(const std::string& path, std::size_t maxBytes) {
    return path + " is larger than " + std::to_string(maxBytes) + " bytes";
}

// The folder part of a path: "" for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text of a symbolic link, or nothing when it cannot be read.
bool ReadLink(const std::string& link, std::string& text) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            text.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        if (buffer.size() >= PATH_MAX * 4) {
            errno = ENAMETOOLONG;
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Where a write to `path` lands: the end of the chain of symbolic links
// that starts at `path` (`path` itself when it is no link). The end need
// not exist. False, with `error` set, for a loop or an unreadable link.
bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        std::string next;
        if (!ReadLink(target, next)) {
            error = Failure("cannot follow the link", target, errno);
            return false;
        }
        if (next.empty()) {
            error = Failure("cannot follow the link", target, ENOENT);
            return false;
        }
        if (next.front() != '/') {
            const std::string folder = FolderOf(target);
            if (!folder.empty()) next = (folder == "/" ? folder : folder + "/") + next;
        }
        target = std::move(next);
    }
    error = Failure("cannot follow the link", path, ELOOP);
    return false;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Makes a finished rename durable; a folder that cannot be synced changes
// nothing about the outcome.
void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Whether a temporary file named with `pid` may belong to a save still in
// progress: its process is another one that still runs.
bool MayBeInUse(unsigned long long pid) {
    if (pid == 0 || pid > static_cast<unsigned long long>(INT_MAX)) return false;
    if (static_cast<pid_t>(pid) == getpid()) return false;   // nothing of ours is being written yet
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace

bool PosixFileSystem::Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(ToPosixPath(path), error);
}

FileRead PosixFileSystem::Read(const std::string& path, std::size_t maxBytes) {
    const std::string file = ToPosixPath(path);
    // Look before opening: opening a FIFO waits for a writer, and opening a
    // device may do something.
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        if (errno == ENOENT) return {FileRead::Status::Missing, {}, {}};
        return Refused(Failure("cannot read", file, errno));
    }
    if (!S_ISREG(info.st_mode)) return Refused(file + " is not a regular file");
    if (static_cast<uintmax_t>(info.st_size) > maxBytes) return Refused(TooLarge(file, maxBytes));

    // Non-blocking, in case something else has taken the name since.
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return {FileRead::Status::Missing, {}, {}};
        return Refused(Failure("cannot read", file, errno));
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Refused(file + " is not a regular file");
    }
    // The size may have changed since: never take more than one byte past
    // the limit.
    const std::size_t cap = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    FileRead result{FileRead::Status::Read, {}, {}};
    result.bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (result.bytes.size() < cap) {
        const ssize_t n = read(fd, buffer, std::min(sizeof buffer, cap - result.bytes.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            return Refused(Failure("cannot read", file, error));
        }
        if (n == 0) break;
        result.bytes.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (result.bytes.size() > maxBytes) return Refused(TooLarge(file, maxBytes));
    return result;
}

std::string PosixFileSystem::WriteFileAtomic(const std::string& path, const std::string& bytes) {
    std::string target, error;
    if (!FollowLinks(ToPosixPath(path), target, error)) return error;

    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return "cannot replace " + target + ": not a regular file";

    // A leftover of the same name (this id used by an earlier process) is
    // removed first; whatever is there and cannot be removed, or turns up
    // meanwhile, makes the exclusive create fail rather than be followed.
    const std::string temp = target + ".tmp-" + std::to_string(getpid());
    unlink(temp.c_str());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return Failure("cannot write", temp, errno);

    if (exists) fchmod(fd, old.st_mode & 07777);

    if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
        const int code = errno;
        close(fd);
        unlink(temp.c_str());
        return Failure("cannot write", temp, code);
    }
    if (close(fd) != 0) {
        const int code = errno;
        unlink(temp.c_str());
        return Failure("cannot write", temp, code);
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int code = errno;
        unlink(temp.c_str());
        return Failure("cannot replace", target, code);
    }
    SyncFolderOf(target);
    return {};
}

std::vector<std::string> PosixFileSystem::RemoveStaleTemporaries(const std::string& path) {
    const std::string given = ToPosixPath(path);
    std::vector<std::string> places{given};
    std::string target, error;
    if (FollowLinks(given, target, error) && target != given) places.push_back(target);

    std::vector<std::string> removed;
    for (const std::string& place : places) {
        const std::string folder = FolderOf(place);
        const std::string prefix = NameOf(place) + ".tmp-";
        DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
        if (dir == nullptr) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
            const std::string id = name.substr(prefix.size());
            if (id.size() > 10 || id.find_first_not_of("0123456789") != std::string::npos) continue;
            if (MayBeInUse(std::stoull(id))) continue;
            const std::string full = folder.empty() ? name : (folder == "/" ? folder : folder + "/") + name;
            struct stat info {};
            if (lstat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
            if (unlink(full.c_str()) == 0) removed.push_back(full);
        }
        closedir(dir);
    }
    return removed;
}

} // namespace zrk
