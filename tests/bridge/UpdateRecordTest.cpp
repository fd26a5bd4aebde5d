#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bridge/UpdateRecord.h"

namespace zrk {
namespace {

RecordBytes Raw(uint8_t nameLength, const std::string& name, uint8_t valueLength,
                const std::string& value)
{
    RecordBytes r{};
    r[0] = nameLength;
    std::memcpy(&r[1], name.data(), name.size());
    r[101] = valueLength;
    std::memcpy(&r[102], value.data(), value.size());
    return r;
}

TEST(UpdateRecord, ParkingBrakeRecordHasTheExactLayout)
{
    RecordBytes expected{};
    expected[0] = 13;
    std::memcpy(&expected[1], "PARKING_BRAKE", 13);
    expected[101] = 1;
    expected[102] = '1';
    EXPECT_EQ(EncodeMessage("PARKING_BRAKE=1"), expected);
}

TEST(UpdateRecord, SplitsAtTheFirstSeparatorOnly)
{
    struct Case {
        std::string text, name, value;
    };
    const Case cases[] = {
        {"A=B=C", "A", "B=C"},
        {"NO_SEPARATOR", "NO_SEPARATOR", ""},
        {"TRAILING=", "TRAILING", ""},
        {"=LEADING", "", "LEADING"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        std::string name = "stale", value = "stale";
        SplitNameValue(c.text, '=', name, value);
        EXPECT_EQ((NameValue{name, value}), (NameValue{c.name, c.value})) << c.text;
        EXPECT_EQ(DecodeRecord(EncodeMessage(c.text).data()), (NameValue{c.name, c.value})) << c.text;
    }
}

TEST(UpdateRecord, CutsNameAndValueToTheirFields)
{
    const RecordBytes r = EncodeMessage(std::string(150, 'N') + "=" + std::string(300, 'v'));
    EXPECT_EQ(r, Raw(100, std::string(100, 'N'), 255, std::string(255, 'v')));
}

TEST(UpdateRecord, DecodeClampsHostileLengthBytes)
{
    // A name length of 255 must not take the value length and value as
    // name characters.
    EXPECT_EQ(DecodeRecord(Raw(255, std::string(100, 'n'), 3, "abc").data()),
              (NameValue{std::string(100, 'n'), "abc"}));
    // Characters behind the stated lengths do not count; bytes pass
    // through unchanged, NUL included.
    EXPECT_EQ(DecodeRecord(Raw(3, std::string("A\0\xE9Z", 4), 1, "xyz").data()),
              (NameValue{std::string("A\0\xE9", 3), "x"}));
}

TEST(UpdateRecord, QuitOrderNeedsTheExactName)
{
    struct Case {
        RecordBytes record;
        bool quit;
    };
    const Case cases[] = {
        {EncodeMessage("KILL_TQ_CONTROLLER=1"), true},
        {EncodeMessage("KILL_TQ_CONTROLLER"), true},
        {EncodeMessage("KILL_TQ_CONTROLLER=anything"), true},
        {EncodeMessage("kill_tq_controller=1"), false},
        {EncodeMessage("KILL_TQ_CONTROLLERX=1"), false},
        {EncodeMessage("KILL_TQ_CONTROLLE=1"), false},
        {Raw(19, "KILL_TQ_CONTROLLER", 0, ""), false},
        {RecordBytes{}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsQuitOrder(c.record.data()), c.quit) << RecordText(c.record.data());
}

} // namespace
} // namespace zrk
