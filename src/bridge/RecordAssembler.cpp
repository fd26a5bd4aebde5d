#include "bridge/RecordAssembler.h"

#include <cstring>

namespace zrk {

long RecordAssembler::OnDataAvailable(const ReadFn& read, const RecordFn& onRecord)
{
    const std::size_t missing = kRecordSize - held_;
    const long got = read(buffer_.data() + held_, missing);
    if (got < 0)
        return -1;
    if (got == 0)
        return 0;
    if (static_cast<unsigned long>(got) > missing)
        return -1;
    if (got == kIgnoredReadSize)
        return got;

    held_ += static_cast<std::size_t>(got);
    readPos_ = 0;
    while (held_ - readPos_ >= kRecordSize) {
        RecordBytes record;
        std::memcpy(record.data(), buffer_.data() + readPos_, kRecordSize);
        last_ = record;
        readPos_ += kRecordSize;
        if (readPos_ == held_)
            held_ = readPos_ = 0;
        if (onRecord)
            onRecord(record.data());
    }
    if (readPos_ == held_)
        held_ = readPos_ = 0;
    return got;
}

void RecordAssembler::Reset()
{
    held_ = 0;
    readPos_ = 0;
}

} // namespace zrk
