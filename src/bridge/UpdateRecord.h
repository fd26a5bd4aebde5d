#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zrk {

// The fixed-size record exchanged with the bridge in both directions:
//   [0]        name length (0..100)
//   [1..100]   name characters, zero behind the valid ones
//   [101]      value length (0..255)
//   [102..356] value characters, zero behind the valid ones
// Records follow one another on the stream without separator or header.
// Characters are single bytes, passed through unchanged.
inline constexpr std::size_t kRecordSize = 357;
inline constexpr std::size_t kNameLengthOffset = 0;
inline constexpr std::size_t kNameOffset = 1;
inline constexpr std::size_t kNameCapacity = 100;
inline constexpr std::size_t kValueLengthOffset = kNameOffset + kNameCapacity;   // 101
inline constexpr std::size_t kValueOffset = kValueLengthOffset + 1;               // 102
inline constexpr std::size_t kValueCapacity = 255;
static_assert(kValueOffset + kValueCapacity == kRecordSize);

using RecordBytes = std::array<uint8_t, kRecordSize>;

// The name the bridge uses to order the controller to quit.
inline constexpr const char* kQuitOrderName = "KILL_TQ_CONTROLLER";

struct NameValue {
    std::string name;
    std::string value;
    bool operator==(const NameValue&) const = default;
};

// Splits `text` at the first `separator`: the name is everything before it,
// the value everything behind it (empty when the separator ends the text).
// Without a separator the name is the whole text and the value is empty.
void SplitNameValue(const std::string& text, char separator, std::string& name,
                    std::string& value);

// The record carrying "NAME=VALUE": split at the first "=", name cut to 100
// characters, value cut to 255, every other byte zero.
RecordBytes EncodeMessage(const std::string& message);

// The name and value of the record at `record` (kRecordSize bytes). Length
// bytes larger than their field are clamped to the field, so a malformed
// record never reads outside its own field.
NameValue DecodeRecord(const uint8_t* record);

// "NAME=VALUE" of a record, for logs and tests.
std::string RecordText(const uint8_t* record);

// Whether the record is the bridge's order to quit: the name is exactly
// "KILL_TQ_CONTROLLER" (length byte included, letter case significant);
// the value does not matter.
bool IsQuitOrder(const uint8_t* record);

} // namespace zrk
