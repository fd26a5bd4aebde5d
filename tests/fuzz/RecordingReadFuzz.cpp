// Reads a damaged or made-up session recording the way a replay does, and
// checks that the reader never reads outside the bytes it was given, never
// hands out an entry it could not decode whole, and ends either at the end
// of the file or with an error; and that a record's changes never reach
// outside the record they are applied to.
//
// Input: a mode byte, then the bytes. Mode 0: the bytes are the file.
// Mode 1: the bytes are one segment's entries, framed with a right length
// and check (so that the entry decoder is reached, which a random file
// seldom passes the check to).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/record/Tape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string file = data[0] & 1 ? zrk::TapeHeader() + zrk::FrameSegment(body) : body;

    zrk::TapeReader reader(file);
    zrk::TapeEntry e;
    std::string aircraft(64, '\0');
    std::size_t entries = 0;
    while (reader.Next(e)) {
        ++entries;
        if (e.hasBytes && e.bytes.size() > file.size())
            std::abort();   // more bytes than the file holds
        const std::size_t before = aircraft.size();
        zrk::ApplyTapeDiff(aircraft, e.bytes);
        if (aircraft.size() != before && aircraft.size() > e.bytes.size())
            std::abort();   // a whole new value is never longer than its run
        if (aircraft.size() != 64)
            aircraft.assign(64, '\0');
    }
    if (!reader.Error().empty() && reader.Error().size() > 400)
        std::abort();       // messages stay short, whatever the file says
    std::size_t counted = 0;
    const std::string error = zrk::TapeReader::Validate(file, &counted);
    if (counted != entries || (error.empty() != reader.Error().empty() && entries > 0))
        std::abort();       // the check before a replay agrees with the replay's reading
    return 0;
}
