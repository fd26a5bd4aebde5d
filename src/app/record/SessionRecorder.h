#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <tuple>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "app/record/Tape.h"

namespace zrk {

// Where a recording's bytes go. The file adapter appends to a file and,
// when a write fails, cuts the file back to its last whole segment, so that
// what is on disk always replays.
class IRecordingSink {
public:
    virtual ~IRecordingSink() = default;
    // Each returns an empty string, or what went wrong.
    virtual std::string Append(const std::string& bytes) = 0;
    // Replaces the whole file (the oldest segments dropped).
    virtual std::string Replace(const std::string& bytes) = 0;
};

// A recording kept in memory: tests and benchmarks.
class MemoryRecordingSink : public IRecordingSink {
public:
    std::string Append(const std::string& bytes) override;
    std::string Replace(const std::string& bytes) override;
    std::string bytes;
    // Set: every write fails with this text (a full disk).
    std::string failWith;
};

struct RecordingOptions {
    // The file stays below this; the oldest chapters are dropped first.
    uint64_t limitBytes = kDefaultLimitBytes;
    static constexpr uint64_t kDefaultLimitBytes = 32ull << 20;
    static constexpr uint64_t kMinLimitBytes = 1ull << 20;
    // A chapter (a keyframe and what follows) lasts this long; its events
    // reach the file in segments of at most kFlushMs, so a crash loses at
    // most that much.
    uint32_t chapterMs = 120000;
    uint32_t flushMs = 5000;
};

// Records a controller session: wraps every port the controller is given
// so that what comes in (board events and readings, bridge records and
// socket events, the bridge's data records, the simulator's replies,
// process and dialog answers, the settings file) and what goes out (board
// commands, bridge messages, simulator writes) are written as tape
// entries, each event with its tick time. It also stands between the
// controller and its clock: within one event the tick count stays at the
// event's time (plus any sleep), so that a replay sees the very ticks the
// controller saw.
//
// Nothing here changes what the controller does; a failed write stops the
// recording with a log line and the controller goes on.
class SessionRecorder : public ISessionTap {
public:
    SessionRecorder(const Ports& inner, IRecordingSink& sink, RecordingOptions options = {});
    ~SessionRecorder() override;
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;

    // The ports to build the controller with.
    const Ports& RecordingPorts() const { return ports_; }
    // Where the recorder reports a stop: the controller's log, once it exists.
    void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    // Writes what is pending; the recorder's destructor does it too.
    void Flush();
    bool Stopped() const { return stopped_; }
    uint64_t FileBytes() const { return fileBytes_; }
    uint64_t Entries() const { return entries_; }

    // ISessionTap
    void TimerEvent(TimerId id) override;
    void UserAction(const std::string& action) override;
    void Lifecycle(Life step) override;

    // ---- the ports' side ----
    // An event handed to the controller: its time is the clock's now.
    void Dispatch(TapeEntry e);
    void Add(TapeEntry e);
    // The file name part of a path: the only part of a path recorded.
    static std::string FileName(const std::string& path);
    // Keyframe state the ports keep up to date.
    struct BoardState {
        int kind = 0;
        int serial = 0;
        std::string name;
        bool attached = false;
    };
    std::vector<BoardState> boards;
    std::string settingsText;
    std::string aircraft, simulator;
    uint32_t Now() const;
    // A board command or reading that repeats the last one of its kind in
    // this chapter is not written again: a replay takes the last one.
    bool RepeatedCommand(uint32_t object, std::string_view what, int index, double value);
    bool RepeatedRead(uint8_t code, uint32_t object, int index, double value);

private:
    class Clock;
    class Boards;
    class Socket;
    class PanelBus;
    class Ipc;
    class Process;
    class Dialogs;
    class Files;

    void StartChapter(bool sessionStart);
    void EndSegment();
    void Write(const std::string& segment);
    void Stop(const std::string& why);

    Ports inner_;
    IRecordingSink& sink_;
    RecordingOptions options_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<Boards> boards_;
    std::unique_ptr<Socket> socket_;
    std::unique_ptr<PanelBus> panelBus_;
    std::unique_ptr<Ipc> ipc_;
    std::unique_ptr<Process> process_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<Files> files_;
    Ports ports_;
    std::function<void(const std::string&)> log_;

    std::string segment_;          // entries of the segment being filled
    uint32_t lastTick_ = 0;        // for the segment's tick differences
    uint32_t chapterStart_ = 0, segmentStart_ = 0;
    // The chapters on file, each the bytes of its segments, oldest first.
    std::deque<std::string> chapters_;
    uint64_t fileBytes_ = 0;
    uint64_t entries_ = 0;
    std::map<std::tuple<uint32_t, std::string_view, int>, double> lastCommand_;
    std::map<std::tuple<uint8_t, uint32_t, int>, double> lastRead_;
    bool headerWritten_ = false;
    bool stopped_ = false;
};

} // namespace zrk
