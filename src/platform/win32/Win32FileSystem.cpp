#include "platform/win32/Win32FileSystem.h"

#include <algorithm>
#include <cstdint>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zrk {

namespace {

// A file held open by another program (an editor, a virus scanner, a
// backup tool) cannot be replaced; such holds are usually brief.
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplaceRetryMs = 100;

std::string ToWindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The system's text for an error code, without the closing period.
std::string ErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' ||
                                message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

std::string Failure(const std::string& what, const std::string& path, DWORD code) {
    return what + " " + path + ": " + ErrorText(code);
}

FileRead Refused(std::string problem) { return {FileRead::Status::Refused, {}, std::move(problem)}; }

std::string TooLarge(const std::string& path, std::size_t maxBytes) {
    return path + " is larger than " + std::to_string(maxBytes) + " bytes";
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return false;
        done += written;
    }
    return true;
}

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Where a write to `path` lands: the file a symbolic link at `path` leads
// to, else `path`. False, with `error` set, for a link whose file cannot be
// opened.
bool FollowLink(const std::string& path, std::string& target, std::string& error) {
    target = path;
    if (!IsLink(GetFileAttributesA(path.c_str()))) return true;
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = Failure("cannot follow the link", path, GetLastError());
        return false;
    }
    char buffer[MAX_PATH * 4];
    const DWORD n = GetFinalPathNameByHandleA(file, buffer, sizeof buffer, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const DWORD code = GetLastError();
    CloseHandle(file);
    if (n == 0 || n >= sizeof buffer) {
        error = Failure("cannot follow the link", path, n == 0 ? code : ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    target.assign(buffer, n);
    return true;
}

// Errors of a file that another program holds open for the moment.
bool IsTransient(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED || code == ERROR_LOCK_VIOLATION ||
           code == ERROR_USER_MAPPED_FILE;
}

// Whether a temporary file named with `pid` may belong to a save still in
// progress: its process is another one that still runs.
bool MayBeInUse(unsigned long long pid) {
    if (pid == 0 || pid > 0xFFFFFFFFull) return false;
    if (pid == GetCurrentProcessId()) return false;   // nothing of ours is being written yet
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;   // no such process
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(s[i]) != lower(prefix[i])) return false;
    }
    return true;
}

} // namespace

bool Win32FileSystem::Exists(const std::string& path) {
    return GetFileAttributesA(ToWindowsPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileRead Win32FileSystem::Read(const std::string& path, std::size_t maxBytes) {
    const std::string name = ToWindowsPath(path);
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return {FileRead::Status::Missing, {}, {}};
        return Refused(Failure("cannot read", name, code));
    }
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return Refused(name + " is not a regular file");
    }
    if (static_cast<uint64_t>(size.QuadPart) > maxBytes) {
        CloseHandle(file);
        return Refused(TooLarge(name, maxBytes));
    }
    // The size may have changed since: never take more than one byte past
    // the limit.
    const size_t cap = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    FileRead result{FileRead::Status::Read, {}, {}};
    result.bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    while (result.bytes.size() < cap) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(sizeof buffer, cap - result.bytes.size()));
        if (!::ReadFile(file, buffer, want, &n, nullptr)) {
            const DWORD code = GetLastError();
            CloseHandle(file);
            return Refused(Failure("cannot read", name, code));
        }
        if (n == 0) break;
        result.bytes.append(buffer, n);
    }
    CloseHandle(file);
    if (result.bytes.size() > maxBytes) return Refused(TooLarge(name, maxBytes));
    return result;
}

std::string Win32FileSystem::WriteFileAtomic(const std::string& path, const std::string& bytes) {
    std::string target, error;
    if (!FollowLink(ToWindowsPath(path), target, error)) return error;
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "cannot replace " + target + ": not a regular file";

    // A leftover of the same name (this id used by an earlier process) is
    // removed first; whatever cannot be removed makes the create fail.
    const std::string temp = target + ".tmp-" + std::to_string(GetCurrentProcessId());
    DeleteFileA(temp.c_str());
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failure("cannot write", temp, GetLastError());

    if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) {
        const DWORD code = GetLastError();
        CloseHandle(file);
        DeleteFileA(temp.c_str());
        return Failure("cannot write", temp, code);
    }
    if (!CloseHandle(file)) {
        const DWORD code = GetLastError();
        DeleteFileA(temp.c_str());
        return Failure("cannot write", temp, code);
    }
    DWORD code = 0;
    for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
        if (attempt > 0) Sleep(kReplaceRetryMs);
        // One rename that replaces the file: the old content or the new
        // one, never a mix. (ReplaceFile would keep the old file's
        // attributes, but can fail half-way and leave the old file gone.)
        if (MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
        code = GetLastError();
        if (!IsTransient(code)) break;
    }
    DeleteFileA(temp.c_str());
    return Failure("cannot replace", target, code);
}

std::vector<std::string> Win32FileSystem::RemoveStaleTemporaries(const std::string& path) {
    const std::string given = ToWindowsPath(path);
    std::vector<std::string> places{given};
    std::string target, error;
    if (FollowLink(given, target, error) && target != given) places.push_back(target);

    std::vector<std::string> removed;
    for (const std::string& place : places) {
        const auto slash = place.find_last_of('\\');
        const std::string folder = slash == std::string::npos ? std::string() : place.substr(0, slash + 1);
        const std::string prefix = place.substr(folder.size()) + ".tmp-";
        WIN32_FIND_DATAA found{};
        HANDLE search = FindFirstFileA((place + ".tmp-*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            const std::string name = found.cFileName;
            if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
            // The pattern also matches short (8.3) names: check the long one.
            if (name.size() <= prefix.size() || !StartsWithNoCase(name, prefix)) continue;
            const std::string id = name.substr(prefix.size());
            if (id.size() > 10 || id.find_first_not_of("0123456789") != std::string::npos) continue;
            if (MayBeInUse(std::stoull(id))) continue;
            const std::string full = folder + name;
            if (DeleteFileA(full.c_str())) removed.push_back(full);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return removed;
}

} // namespace zrk
