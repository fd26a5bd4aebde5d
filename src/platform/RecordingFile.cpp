#include "platform/RecordingFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

#include "config/FileSystem.h"

namespace zrk {

namespace {

std::string SystemError(int code)
{
    return code != 0 ? std::strerror(code) : "the disk took only part of it";
}

// Cuts the file back to `length` bytes and goes on writing there.
bool CutBack(std::FILE* file, uint64_t length)
{
#if defined(_WIN32)
    return _chsize_s(_fileno(file), static_cast<long long>(length)) == 0
        && _fseeki64(file, static_cast<long long>(length), SEEK_SET) == 0;
#else
    return ftruncate(fileno(file), static_cast<off_t>(length)) == 0
        && fseeko(file, static_cast<off_t>(length), SEEK_SET) == 0;
#endif
}

// Unbuffered: a write that fails leaves nothing behind in the stream to
// reach the file later.
std::FILE* OpenUnbuffered(const std::string& path, const char* mode)
{
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (file)
        std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

} // namespace

RecordingFile::RecordingFile(std::string path, IFileSystem& files, std::FILE* file)
    : path_(std::move(path)), files_(files), file_(file)
{
}

std::unique_ptr<RecordingFile> RecordingFile::Create(const std::string& path, IFileSystem& files, std::string& error)
{
    errno = 0;
    std::FILE* file = OpenUnbuffered(path, "wb");
    if (!file) {
        error = SystemError(errno);
        return nullptr;
    }
    return std::unique_ptr<RecordingFile>(new RecordingFile(path, files, file));
}

RecordingFile::~RecordingFile() { Close(); }

void RecordingFile::Close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

std::string RecordingFile::Append(const std::string& bytes)
{
    if (!file_)
        return path_ + ": the file is closed";
    errno = 0;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
    if (written == bytes.size() && std::fflush(file_) == 0) {
        length_ += bytes.size();
        return {};
    }
    const int code = errno;
    std::clearerr(file_);
    std::string error = path_ + ": " + SystemError(code);
    if (!CutBack(file_, length_))
        error += " (and the part written cannot be cut off)";
    return error;
}

std::string RecordingFile::Replace(const std::string& bytes)
{
    // Closed first: an open file cannot be renamed over on Windows.
    Close();
    const std::string error = files_.WriteFileAtomic(path_, bytes);
    if (error.empty())
        length_ = bytes.size();
    // Replaced or not, the file is whole: writing goes on at its end.
    const std::string reopened = Reopen();
    return error.empty() ? reopened : error;
}

std::string RecordingFile::Reopen()
{
    errno = 0;
    file_ = OpenUnbuffered(path_, "r+b");
    if (!file_)
        return path_ + ": cannot be opened again: " + SystemError(errno);
    if (!CutBack(file_, length_)) {
        const int code = errno;
        std::fclose(file_);
        file_ = nullptr;
        return path_ + ": " + SystemError(code);
    }
    return {};
}

// ---- the hosts' part ----

bool ProgramRecording::Open(const std::string& path, uint64_t limitBytes, IFileSystem& files)
{
    if (path.empty())
        return true;
    std::string error;
    file_ = RecordingFile::Create(path, files, error);
    if (!file_) {
        std::fprintf(stderr, "zrk-tq: cannot record into %s: %s\n", path.c_str(), error.c_str());
        std::fflush(stderr);
        return false;
    }
    path_ = path;
    options_.limitBytes = limitBytes;
    return true;
}

const Ports& ProgramRecording::Wrap(const Ports& ports)
{
    if (!file_)
        return ports;
    recorder_ = std::make_unique<SessionRecorder>(ports, *file_, options_);
    return recorder_->RecordingPorts();
}

void ProgramRecording::Attach(TForm1& form, const std::function<void(const std::string&)>& log)
{
    if (!recorder_)
        return;
    recorder_->SetLog([&form](const std::string& line) { form.Log(line); });
    log("Recording the session into " + path_ + " (at most " +
        std::to_string(std::max(options_.limitBytes, RecordingOptions::kMinLimitBytes) >> 20) + " MB)");
}

void ProgramRecording::Finish()
{
    if (!recorder_)
        return;
    recorder_->Flush();
    // The session ends here. What the controller's destruction still
    // passes to the recorder would start a segment of its own that opens
    // no chapter, and the file would no longer replay: the file is closed
    // first, and the stop that follows is reported to nobody (the
    // controller goes before the recorder does).
    recorder_->SetLog({});
    file_->Close();
}

} // namespace zrk
