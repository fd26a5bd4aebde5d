#pragma once
#include <array>
#include <memory>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

#include "app/VirtualWorld.h"
#include "app/TestHost.h"
#include "app/VirtualDialogs.h"
#include "app/VirtualProcessEnv.h"
#include "boards/VirtualBoards.h"
#include "bridge/PanelBuses.h"
#include "bridge/VirtualBridgeSocket.h"
#include "config/DefaultConfig.h"
#include "config/IniFile.h"
#include "config/MemoryFileSystem.h"
#include "sim/FsuipcEmulator.h"

namespace zrk::test {

inline constexpr const char* kExeFolder = "/opt/zrk";
inline constexpr const char* kConfigPath = "/opt/zrk/CONFIG.INI";

// The whole controller on virtual time with virtual boards, files,
// processes and dialogs.
struct Rig : VirtualWorld {
    explicit Rig(uint64_t startMs = 1'000'000) : VirtualWorld(startMs) {}

    std::unique_ptr<TForm1> form;

    // Creates the controller and runs FormCreate; `config` is the text of
    // CONFIG.INI, none for a first start.
    TForm1& Start(std::optional<std::string> config = std::nullopt)
    {
        if (config)
            files.Put(kConfigPath, *config);
        form = std::make_unique<TForm1>(MakePorts(kExeFolder));
        host.Bind(form.get());
        form->FormCreate();
        return *form;
    }

    // The log lines without their time stamps.
    std::vector<std::string> Log() const
    {
        std::vector<std::string> out;
        for (const std::string& l : form->Memo1.Lines())
            out.push_back(l.size() > 11 ? l.substr(11) : l);
        return out;
    }
    bool Logged(const std::string& text) const
    {
        for (const std::string& l : Log())
            if (l == text)
                return true;
        return false;
    }
    // Log lines added since `mark` lines were there.
    std::vector<std::string> LogSince(std::size_t mark) const
    {
        auto all = Log();
        return std::vector<std::string>(all.begin() + long(std::min(mark, all.size())), all.end());
    }
    // Messages the controller sent to the bridge, as NAME=VALUE.
    std::vector<std::string> Sent() const { return socket.SentMessages(); }
    std::string ConfigFile() const { return files.Files().count(kConfigPath) ? files.Files().at(kConfigPath) : ""; }
};

// The default CONFIG.INI with some keys set or added: {section, key, value}.
inline std::string Config(std::initializer_list<std::array<const char*, 3>> keys)
{
    IniFile ini = IniFile::Parse(DefaultConfigText());
    for (const auto& [section, key, value] : keys)
        ini.Write(section, key, value);
    return ini.Text();
}

// CONFIG.INI text from lines, with CR LF line ends.
inline std::string Ini(std::initializer_list<const char*> lines)
{
    std::string out;
    for (const char* l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

} // namespace zrk::test

namespace zrk {
// Readable board commands in test failure messages.
inline void PrintTo(const BoardCommand& c, std::ostream* os)
{
    *os << BoardCommandName(c.op) << "[" << c.index << "]=" << c.value;
}
} // namespace zrk
