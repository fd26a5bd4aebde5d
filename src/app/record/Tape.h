#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zrk {

// A recording of a controller session: everything that came into the
// controller, in the order it came, each with the tick time of the event it
// came with, and the outputs the controller produced, so that a replay on
// virtual time can be checked against them.
//
// The file: an 8-byte signature, a 16-bit format version, then segments.
// Each segment carries its length and a CRC-32 of its contents and starts
// with a keyframe (the settings text, the boards attached, the bridge's
// data records in full), so that dropping the oldest segments of a long
// recording leaves a file that still replays. Within a segment the entries
// are small: a kind, a code, varint numbers, and bytes where needed.

// One entry of a recording.
struct TapeEntry {
    enum class Kind : uint8_t {
        Dispatch = 1,   // an event handed to the controller: a timer, a board or socket event, a user's action
        Read = 2,       // a value the controller read from outside during that event
        Output = 3,     // a command, message or write the controller made
        Keyframe = 4,   // the state a replay starts from, at a segment's start
    };
    Kind kind = Kind::Dispatch;
    uint8_t code = 0;      // what, within the kind (TapeCode)
    uint32_t object = 0;   // the board's number, in the order the controller made them
    int32_t index = 0;     // an input, output or motor index; a timer's id
    uint32_t tick = 0;     // a dispatch's tick count
    bool threw = false;    // the call failed with a board error
    bool hasNumber = false;
    double number = 0;
    bool hasBytes = false;
    std::string bytes;

    bool operator==(const TapeEntry&) const = default;
};

// The codes of each kind.
namespace TapeCode {
// Dispatch
inline constexpr uint8_t kTimer = 1;          // index: TimerId
inline constexpr uint8_t kBoardAttach = 2;    // object
inline constexpr uint8_t kBoardDetach = 3;
inline constexpr uint8_t kSensorChange = 4;   // object, index, number
inline constexpr uint8_t kInputChange = 5;    // object, index, number 0/1
inline constexpr uint8_t kSocketConnected = 6;   // number: error
inline constexpr uint8_t kSocketClosed = 7;
inline constexpr uint8_t kSocketData = 8;
inline constexpr uint8_t kSocketWritable = 9;
inline constexpr uint8_t kAction = 10;        // bytes: the action (see TForm1's action names)
inline constexpr uint8_t kLifecycle = 11;     // index: 0 create, 1 close query, 2 close, 3 destroy
// Read
inline constexpr uint8_t kLocalTime = 20;     // number: seconds of the day
inline constexpr uint8_t kBoardVelocity = 21; // object, index, number
inline constexpr uint8_t kBoardCurrent = 22;
inline constexpr uint8_t kBoardPosition = 23;
inline constexpr uint8_t kBoardName = 24;     // object, bytes (at attach)
inline constexpr uint8_t kBoardSerial = 25;   // object, number
inline constexpr uint8_t kBoardOutputs = 26;  // object, number
inline constexpr uint8_t kBoardAttached = 27; // object, number 0/1 (only where it differs from the events)
inline constexpr uint8_t kSocketIsConnected = 28;   // number 0/1 (only where it differs from the events)
inline constexpr uint8_t kBoardMade = 29;     // object, index: BoardKind (when the controller makes it)
inline constexpr uint8_t kSocketReceive = 30; // number: count or -1, bytes
inline constexpr uint8_t kAircraftRecord = 31;   // bytes: changes (TapeDiff)
inline constexpr uint8_t kSimulatorRecord = 32;
inline constexpr uint8_t kIpcFind = 33;       // number
inline constexpr uint8_t kIpcMessage = 34;
inline constexpr uint8_t kIpcAtom = 35;
inline constexpr uint8_t kIpcMapping = 36;    // number: handle, index: 1 when it existed
inline constexpr uint8_t kIpcView = 37;       // number: 1 when a view was given
inline constexpr uint8_t kIpcReply = 38;      // index: ok, object: last error, number: reply, bytes: block changes
inline constexpr uint8_t kIpcProcessId = 39;
inline constexpr uint8_t kBridgeRunning = 40;
inline constexpr uint8_t kKillTask = 41;
inline constexpr uint8_t kAnswer = 42;        // number: DialogAnswer
inline constexpr uint8_t kFileRead = 43;      // number: FileRead status, bytes: the text (settings file only)
inline constexpr uint8_t kFileExists = 44;    // number
inline constexpr uint8_t kFileWrite = 45;     // bytes: the error, empty on success
// Output
inline constexpr uint8_t kBoardCommand = 60;  // object, index, number; `bytes` names the command (BoardCommandWords)
inline constexpr uint8_t kBridgeSend = 61;    // bytes: what was sent, number: 1 when taken
inline constexpr uint8_t kSimulatorWrite = 62;   // bytes: the block's changes before a send
// Keyframe
inline constexpr uint8_t kStart = 80;         // number: 1 when the session starts here, 0 when its start was dropped
inline constexpr uint8_t kSettings = 81;      // bytes: the CONFIG.INI text
inline constexpr uint8_t kBoard = 82;         // object, index: BoardKind, number: serial, bytes: name; threw: detached
inline constexpr uint8_t kRecord = 83;        // index: 0 aircraft, 1 simulator; bytes: changes from zeros
inline constexpr uint8_t kContinue = 84;      // a segment that goes on with its chapter
} // namespace TapeCode

// The board commands a recording knows, by the word that names them in
// an entry; the file stores the word's place in this list.
const std::vector<std::string>& BoardCommandWords();

// The changes from `before` to `after` (same size): runs of offset,
// length and bytes. Empty when nothing changed.
std::string TapeDiff(std::string_view before, std::string_view after);
// Applies TapeDiff's changes to `data`; false (data unchanged) when they
// are malformed or reach beyond it.
bool ApplyTapeDiff(std::string& data, std::string_view changes);

// The file's first bytes and its format version.
inline constexpr char kTapeSignature[8] = {'Z', 'R', 'K', 'T', 'Q', 'R', 'E', 'C'};
inline constexpr uint16_t kTapeVersion = 1;
inline constexpr std::size_t kTapeHeaderSize = 10;
// A segment larger than this is no segment of ours.
inline constexpr uint32_t kMaxSegmentBytes = 16u << 20;

// An entry's bytes, appended to `out`. Ticks are kept as the difference
// from the previous one in the segment: `lastTick` carries it, 0 at a
// segment's start.
void EncodeEntry(const TapeEntry& e, uint32_t& lastTick, std::string& out);
std::string TapeHeader();
// A whole segment: its frame and `entries`' bytes.
std::string FrameSegment(const std::string& entries);

// Reads a recording back entry by entry, never beyond the bytes given,
// whatever they hold. A file that is not a recording, of a newer format,
// cut short or damaged gives an error saying so; a replay checks the whole
// file first (Validate), so that it never starts on one it cannot finish.
class TapeReader {
public:
    explicit TapeReader(std::string_view file);
    // The next entry; false at the end of the file or on an error.
    bool Next(TapeEntry& entry);
    const std::string& Error() const { return error_; }
    std::size_t Segments() const { return segments_; }

    // Reads every entry; returns the error, empty when the file is whole.
    static std::string Validate(std::string_view file, std::size_t* entries = nullptr);

private:
    bool NextSegment();
    bool Fail(std::string message);

    std::string_view file_;
    std::size_t at_ = 0;           // where the next segment starts
    std::string_view segment_;     // the current segment's entries
    std::size_t segmentStart_ = 0;
    std::size_t inSegment_ = 0;
    std::size_t segments_ = 0;
    uint32_t lastTick_ = 0;
    std::string error_;
};

} // namespace zrk
