#include "bridge/UpdateRecord.h"

#include <algorithm>
#include <cstring>

namespace zrk {

void SplitNameValue(const std::string& text, char separator, std::string& name,
                    std::string& value)
{
    name.clear();
    value.clear();
    const std::size_t at = text.find(separator);
    if (at == std::string::npos) {
        name = text;
        return;
    }
    name.assign(text, 0, at);
    value.assign(text, at + 1, std::string::npos);
}

RecordBytes EncodeMessage(const std::string& message)
{
    RecordBytes record{};
    std::string name, value;
    SplitNameValue(message, '=', name, value);
    const std::size_t nameLength = std::min(name.size(), kNameCapacity);
    const std::size_t valueLength = std::min(value.size(), kValueCapacity);
    record[kNameLengthOffset] = static_cast<uint8_t>(nameLength);
    std::memcpy(record.data() + kNameOffset, name.data(), nameLength);
    record[kValueLengthOffset] = static_cast<uint8_t>(valueLength);
    std::memcpy(record.data() + kValueOffset, value.data(), valueLength);
    return record;
}

NameValue DecodeRecord(const uint8_t* record)
{
    const std::size_t nameLength = std::min<std::size_t>(record[kNameLengthOffset], kNameCapacity);
    const std::size_t valueLength = std::min<std::size_t>(record[kValueLengthOffset], kValueCapacity);
    const auto* chars = reinterpret_cast<const char*>(record);
    return {std::string(chars + kNameOffset, nameLength),
            std::string(chars + kValueOffset, valueLength)};
}

std::string RecordText(const uint8_t* record)
{
    NameValue nv = DecodeRecord(record);
    return nv.name + "=" + nv.value;
}

bool IsQuitOrder(const uint8_t* record)
{
    const std::size_t length = std::strlen(kQuitOrderName);
    return record[kNameLengthOffset] == length &&
           std::memcmp(record + kNameOffset, kQuitOrderName, length) == 0;
}

} // namespace zrk
