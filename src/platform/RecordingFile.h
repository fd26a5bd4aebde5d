#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/record/SessionRecorder.h"

namespace zrk {

class IFileSystem;

// The file of `zrk-tq --record FILE`. Each append reaches the operating
// system at once (written unbuffered, then flushed), so that what is on
// disk when the program dies replays. A write that fails, or goes only
// part of the way (a full disk), is cut off again: the file always ends
// after a whole segment. A replace (the oldest chapters dropped) writes a
// new file beside it and renames it over the old one, through the disk
// file system's WriteFileAtomic.
class RecordingFile : public IRecordingSink {
public:
    // Creates the file, or empties the one there; null, with what went
    // wrong in `error`, when it cannot be written.
    static std::unique_ptr<RecordingFile> Create(const std::string& path, IFileSystem& files, std::string& error);
    ~RecordingFile() override;
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    std::string Append(const std::string& bytes) override;
    std::string Replace(const std::string& bytes) override;
    // The bytes of whole segments on file.
    uint64_t Length() const { return length_; }
    // Ends the file: later writes are refused and leave it as it is.
    void Close();

private:
    RecordingFile(std::string path, IFileSystem& files, std::FILE* file);
    // Opens the file again at its end, after a replace.
    std::string Reopen();

    std::string path_;
    IFileSystem& files_;
    std::FILE* file_;
    uint64_t length_ = 0;
};

// What a host does for --record: the file created before anything starts,
// a recorder put between the ports and the controller, and its last
// segment written once the controller is destroyed. Without a file name
// each step does nothing and the ports pass through as they are.
class ProgramRecording {
public:
    // Creates the file. When it cannot be, one line on standard error and
    // false: the program then ends with 1.
    bool Open(const std::string& path, uint64_t limitBytes, IFileSystem& files);
    // The ports to build the controller with. They stay valid as long as
    // this object does: declare it before the controller.
    const Ports& Wrap(const Ports& ports);
    // Once the controller exists: the recorder reports a stop to its log,
    // and `log` (the host's log, which reaches the controller's once it has
    // started) says where the session is recorded.
    void Attach(TForm1& form, const std::function<void(const std::string&)>& log);
    // After FormDestroy, on every way out: what is pending goes to the file,
    // and the controller's log is no longer used.
    void Finish();

private:
    std::string path_;
    RecordingOptions options_;
    std::unique_ptr<RecordingFile> file_;
    // Declared after the file: destroyed, with its last write, before it.
    std::unique_ptr<SessionRecorder> recorder_;
};

} // namespace zrk
