#include "platform/posix/PosixFileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace zrk {

namespace {

std::string ToPosixPath(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

std::string Failure(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
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
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

} // namespace

bool PosixFileSystem::Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(ToPosixPath(path), error);
}

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path) {
    const int fd = open(ToPosixPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return content;
}

std::string PosixFileSystem::WriteFileAtomic(const std::string& path, const std::string& bytes) {
    const std::string target = ToPosixPath(path);
    const std::string temp = target + ".tmp-" + std::to_string(getpid());

    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Failure("cannot write", temp, errno);

    struct stat old {};
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);

    if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        return Failure("cannot write", temp, error);
    }
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return Failure("cannot write", temp, error);
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return Failure("cannot replace", target, error);
    }
    SyncFolderOf(target);
    return {};
}

} // namespace zrk
