#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "bridge/RecordAssembler.h"

namespace zrk {
namespace {

// Bytes waiting on a socket, and the records cut out of them. Each read
// takes what is asked for, up to what is there.
struct Stream {
    RecordAssembler a;
    std::deque<uint8_t> waiting;
    std::vector<std::size_t> asked;
    std::vector<std::string> records;

    void Put(const RecordBytes& r, std::size_t from = 0, std::size_t n = kRecordSize)
    {
        waiting.insert(waiting.end(), r.begin() + long(from), r.begin() + long(from + n));
    }
    long Read()
    {
        return a.OnDataAvailable(
            [this](uint8_t* buffer, std::size_t max) {
                asked.push_back(max);
                const std::size_t n = std::min(max, waiting.size());
                std::copy_n(waiting.begin(), n, buffer);
                waiting.erase(waiting.begin(), waiting.begin() + long(n));
                return long(n);
            },
            [this](const uint8_t* r) { records.push_back(RecordText(r)); });
    }
};

TEST(RecordAssembler, RecordInThreePiecesIsHandedOutOnceAfterTheLast)
{
    const RecordBytes r = EncodeMessage("COMMANDED_FLAP_POSITION=15");
    Stream s;
    s.Put(r, 0, 100);
    s.Read();
    s.Put(r, 100, 200);
    s.Read();
    EXPECT_EQ(s.a.Held(), 300u);
    EXPECT_TRUE(s.records.empty());
    s.Put(r, 300, 57);
    s.Read();
    EXPECT_EQ(s.asked, (std::vector<std::size_t>{357, 257, 57}));
    EXPECT_EQ(s.records, std::vector<std::string>{"COMMANDED_FLAP_POSITION=15"});
    EXPECT_EQ(s.a.Held(), 0u);
    EXPECT_EQ(s.a.LastRecord(), r);
}

TEST(RecordAssembler, BackToBackRecordsAreTakenOneReadAtATime)
{
    Stream s;
    const RecordBytes first = EncodeMessage("A=1");
    s.Put(first, 0, 100);
    s.Read();
    s.Put(first, 100, 257);
    s.Put(EncodeMessage("B=2"));
    s.Put(EncodeMessage("C=3"));
    while (s.Read() > 0) {
    }
    EXPECT_EQ(s.asked, (std::vector<std::size_t>{357, 257, 357, 357, 357}));
    EXPECT_EQ(s.records, (std::vector<std::string>{"A=1", "B=2", "C=3"}));
}

TEST(RecordAssembler, AReadOfExactlyNineteenBytesIsNotCounted)
{
    for (std::size_t piece : {18u, 19u, 20u}) {
        Stream s;
        s.Put(EncodeMessage("X=1"), 0, piece);
        EXPECT_EQ(s.Read(), long(piece));
        EXPECT_EQ(s.a.Held(), piece == 19 ? 0u : piece);
    }
    // In the middle of a record the 19 bytes vanish.
    const RecordBytes r = EncodeMessage("PARKING_BRAKE=0");
    Stream s;
    s.Put(r, 0, 100);
    s.Read();
    s.Put(EncodeMessage("JUNK"), 0, 19);
    s.Read();
    s.Put(r, 100, 257);
    s.Read();
    EXPECT_EQ(s.records, std::vector<std::string>{"PARKING_BRAKE=0"});
}

TEST(RecordAssembler, FailedOrImpossibleReadsChangeNothing)
{
    // With 99 bytes held there is room for 258: larger claims are errors.
    for (long result : {0L, -1L, -7L, LONG_MIN, 259L, LONG_MAX}) {
        Stream s;
        s.Put(EncodeMessage("A=1"), 0, 99);
        s.Read();
        int records = 0;
        const long got = s.a.OnDataAvailable([&](uint8_t*, std::size_t) { return result; },
                                             [&](const uint8_t*) { ++records; });
        EXPECT_EQ(got, result == 0 ? 0 : -1) << result;
        EXPECT_EQ(s.a.Held(), 99u) << result;
        EXPECT_EQ(records, 0) << result;
    }
}

TEST(RecordAssembler, AFailingRecordHandlerDoesNotStallTheStream)
{
    Stream s;
    s.Put(EncodeMessage("FIRST=1"));
    EXPECT_THROW(s.a.OnDataAvailable([&](uint8_t* b, std::size_t) {
                     std::copy_n(s.waiting.begin(), kRecordSize, b);
                     s.waiting.clear();
                     return long(kRecordSize);
                 },
                                     [](const uint8_t*) { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_EQ(s.a.Held(), 0u);
    s.Put(EncodeMessage("SECOND=2"));
    s.Read();
    EXPECT_EQ(s.records, std::vector<std::string>{"SECOND=2"});
}

} // namespace
} // namespace zrk
