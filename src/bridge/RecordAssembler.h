#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "bridge/UpdateRecord.h"

namespace zrk {

// Cuts the byte stream from the bridge into records.
//
// Each call performs exactly one read, asking only for the bytes still
// missing from the current record, so the buffer never holds more than one
// record: a fixed buffer of one record's size is therefore all it needs
// (no growth, no allocation, nothing that can fail).
class RecordAssembler {
public:
    // Reads up to `max` bytes into `buffer`: the count, 0 when nothing is
    // waiting, negative on error.
    using ReadFn = std::function<long(uint8_t* buffer, std::size_t max)>;
    // Receives a complete record (kRecordSize bytes).
    using RecordFn = std::function<void(const uint8_t* record)>;

    // A read of exactly this many bytes is left uncounted: the bytes are
    // overwritten by the next read. The bridge's side of the link has
    // always been served this way and relies on it.
    static constexpr long kIgnoredReadSize = 19;

    // Data has arrived: reads once and hands every completed record to
    // `onRecord`. Returns the read's result: the bytes read (an ignored
    // read included), 0 when nothing was waiting, -1 on an error, which
    // includes a read claiming more bytes than were asked for (then
    // nothing is counted). The receive state is brought up to date before
    // `onRecord` runs, so the callback may Reset() or throw without leaving
    // a consumed record behind.
    long OnDataAvailable(const ReadFn& read, const RecordFn& onRecord);

    // Drops any partial record, for a fresh connection.
    void Reset();

    // Bytes held of the record being assembled (always below kRecordSize
    // between calls).
    std::size_t Held() const { return held_; }
    // The last complete record taken out of the stream (zero before any).
    const RecordBytes& LastRecord() const { return last_; }

private:
    RecordBytes buffer_{};
    std::size_t held_ = 0;
    std::size_t readPos_ = 0;
    RecordBytes last_{};
};

} // namespace zrk
