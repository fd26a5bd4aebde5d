#include "app/BoardsReport.h"

#include "config/IniFile.h"

namespace zrk {

namespace {

std::string RoleLabel(const BoardRole& role) { return std::string(role.name) + " [" + role.key + "]"; }

std::string BoardLine(const BoardsMatch& match, const AttachedBoard& b)
{
    std::string line = "#" + std::to_string(b.serial) + "  " + BoardKindName(b.kind) + "  \"" + b.name + "\"";
    if (b.version > 0)
        line += " v" + std::to_string(b.version);
    line += "  -> ";
    const std::vector<const BoardRole*> fills = match.FilledBy(b.serial);
    for (std::size_t i = 0; i < fills.size(); ++i)
        line += (i ? " and " : "") + RoleLabel(*fills[i]);
    if (!fills.empty())
        return line;
    line += "unassigned";
    // Named in CONFIG.INI for a role it cannot fill as the settings stand.
    const std::vector<const RoleMatch*> wrong = match.WrongKindFor(b.serial);
    for (std::size_t i = 0; i < wrong.size(); ++i)
        line += std::string(i ? "; " : " (") + "named for " + RoleLabel(*wrong[i]->role) + ", which takes "
                + BoardKindName(wrong[i]->openedAs) + (i + 1 == wrong.size() ? ")" : "");
    return line;
}

} // namespace

Settings ReadBoardSettings(IFileSystem& files, const std::string& path)
{
    Settings s;
    LoadDefaults(s);
    const FileRead file = files.Read(path, kMaxSettingsFileBytes);
    if (file.status != FileRead::Status::Read)
        return s;
    const IniFile ini = IniFile::Parse(file.bytes);
    for (LoadGroup g : {LoadGroup::Aircraft, LoadGroup::Log, LoadGroup::Serials, LoadGroup::Main,
                        LoadGroup::Board747, LoadGroup::StartUp})
        LoadSettings(ini, g, s);
    return s;
}

std::vector<std::string> BoardsReportLines(const BoardsMatch& match)
{
    std::vector<std::string> lines;
    const std::size_t n = match.attached.size();
    lines.push_back(n == 0 ? std::string("No board is attached")
                           : std::to_string(n) + (n == 1 ? " board attached" : " boards attached"));
    for (const AttachedBoard& b : match.attached)
        lines.push_back(BoardLine(match, b));
    bool allThere = true;
    for (const RoleMatch& m : match.roles) {
        if (m.state == RoleState::Missing)
            lines.push_back("missing: " + RoleLabel(*m.role) + " board #" + std::to_string(m.serial)
                            + " is not attached");
        else if (m.state == RoleState::WrongKind)
            lines.push_back("wrong kind: " + WrongKindLine(m));
        else
            continue;
        allThere = false;
    }
    if (allThere)
        lines.push_back("Every configured board is attached");
    return lines;
}

std::string BoardsReport(const IBoardManager& manager, const Settings& s)
{
    if (!manager.Available())
        return "The board library cannot list the attached boards\n";
    std::string text;
    for (const std::string& line : BoardsReportLines(MatchBoards(manager.Boards(), s)))
        text += line + "\n";
    return text;
}

} // namespace zrk
