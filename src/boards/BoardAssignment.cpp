#include "boards/BoardAssignment.h"

#include <cstring>
#include <type_traits>
#include <variant>

#include "config/Convert.h"
#include "config/IniFile.h"

namespace zrk {

namespace {

bool SameName(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        if (up(a[i]) != up(b[i]))
            return false;
    }
    return true;
}

const SettingDef* FindSetting(const std::string& section, const std::string& key)
{
    for (const SettingDef& d : SettingsTable())
        if (SameName(section, d.section) && SameName(key, d.key))
            return &d;
    return nullptr;
}

// The change of `def` to `value`, unless its text is that already.
void Change(std::vector<SettingChange>& out, const SettingDef& def, const Settings& s, const std::string& value)
{
    if (SettingText(def, s) != value)
        out.push_back({def.section, def.key, value});
}

} // namespace

std::optional<int> AssignedSerial(const BoardRole& role, const AttachedBoard* board)
{
    if (!board)
        return 0;
    if (!board->kind || !role.CanBeFilledBy(*board->kind) || board->serial <= 0)
        return std::nullopt;
    return board->serial;
}

std::optional<std::vector<SettingChange>> AssignBoard(const BoardRole& role, const AttachedBoard* board,
                                                      const Settings& s)
{
    const std::optional<int> serial = AssignedSerial(role, board);
    if (!serial)
        return std::nullopt;
    std::vector<SettingChange> out;
    Change(out, *role.setting, s, SafeIntToStr(*serial));
    if (!board)
        return out;
    for (const BoardRole& other : BoardRoles()) {
        if (&other == &role || other.Serial(s) != *serial)
            continue;
        const bool shared = role.sharesBoardWith && SameName(role.sharesBoardWith, other.key);
        if (!shared)
            Change(out, *other.setting, s, "0");
    }
    if (role.servoTypeKey)
        if (const SettingDef* type = FindSetting("SERVO_TYPE_ADVANCED", role.servoTypeKey))
            Change(out, *type, s, *board->kind == BoardKind::AdvancedServo ? "1" : "0");
    return out;
}

void ApplySettingChanges(const std::vector<SettingChange>& changes, Settings& s)
{
    for (const SettingChange& c : changes) {
        const SettingDef* def = FindSetting(c.section, c.key);
        if (!def)
            continue;
        std::visit(
            [&](auto member) {
                using M = std::remove_cvref_t<decltype(s.*member)>;
                if constexpr (std::is_same_v<M, int>)
                    s.*member = ParseInt(c.value).value_or(0);
                else if constexpr (std::is_same_v<M, bool>)
                    s.*member = ParseInt(c.value).value_or(0) != 0;
                else if constexpr (std::is_same_v<M, double>)
                    s.*member = SafeStrToFloat(c.value);
                else
                    s.*member = c.value;
            },
            def->field);
    }
}

std::string SaveSettingChanges(IFileSystem& files, const std::string& path, const std::vector<SettingChange>& changes)
{
    IniFile ini;
    const FileRead file = files.Read(path, kMaxSettingsFileBytes);
    if (file.status == FileRead::Status::Refused)
        return file.problem;
    if (file.status == FileRead::Status::Read)
        ini = IniFile::Parse(file.bytes);
    for (const SettingChange& c : changes)
        ini.Write(c.section, c.key, c.value);
    return files.WriteFileAtomic(path, ini.Text());
}

} // namespace zrk
