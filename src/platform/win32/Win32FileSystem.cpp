#include "platform/win32/Win32FileSystem.h"

#include <algorithm>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zrk {

namespace {

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

} // namespace

bool Win32FileSystem::Exists(const std::string& path) {
    return GetFileAttributesA(ToWindowsPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> Win32FileSystem::ReadFile(const std::string& path) {
    HANDLE file = CreateFileA(ToWindowsPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            CloseHandle(file);
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, n);
    }
    CloseHandle(file);
    return content;
}

std::string Win32FileSystem::WriteFileAtomic(const std::string& path, const std::string& bytes) {
    const std::string target = ToWindowsPath(path);
    const std::string temp = target + ".tmp-" + std::to_string(GetCurrentProcessId());

    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failure("cannot write", temp, GetLastError());

    if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        DeleteFileA(temp.c_str());
        return Failure("cannot write", temp, error);
    }
    if (!CloseHandle(file)) {
        const DWORD error = GetLastError();
        DeleteFileA(temp.c_str());
        return Failure("cannot write", temp, error);
    }
    if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileA(temp.c_str());
        return Failure("cannot replace", target, error);
    }
    return {};
}

} // namespace zrk
