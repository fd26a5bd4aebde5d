// CONFIG.INI and the bridge's Config.ini as users really keep them: saved by
// Windows editors with a byte-order mark, replaced by something that is no
// settings file, or left with temporaries of an interrupted save.
#include <gtest/gtest.h>

#include "config/DefaultConfig.h"
#include "config/IniFile.h"
#include "config/TextEncoding.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

const char* const kBridgeConfig = "../NET_BRIDGE/Config.ini";

// The default file for a 747 with calibrated levers, in an encoding.
std::string UserFile(TextEncoding encoding)
{
    const std::string plain = Config({{"AIRCRAFT", "TYPE", "747"},
                                      {"THROTTLES", "THROTTLE_1_IDLE", "120"},
                                      {"THROTTLES", "THROTTLE_1_FULL", "880"},
                                      {"MOTORS", "THROTTLE_3_MOTOR_CHANNEL", "2"}});
    return EncodeText(encoding, plain);
}

bool LogHas(const Rig& rig, const std::string& part)
{
    for (const std::string& line : rig.Log())
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

// Saves a changed throttle calibration, answering Yes.
bool SaveThrottleCalibration(Rig& rig)
{
    rig.form->cfg.THROTTLE_1_IDLE = 130;
    rig.form->ConfigChanged = true;
    rig.dialogs.answers = {DialogAnswer::Yes};
    return rig.form->FormCloseQuery();
}

const TextEncoding kMarkedEncodings[] = {TextEncoding::Utf8Bom, TextEncoding::Utf16Le, TextEncoding::Utf16Be};

TEST(ConfigFile, AFileWithAByteOrderMarkIsReadWhole)
{
    for (TextEncoding encoding : kMarkedEncodings) {
        Rig rig;
        TForm1& f = rig.Start(UserFile(encoding));
        EXPECT_EQ(f.aircraft_type.ItemIndex, 2) << int(encoding);
        EXPECT_TRUE(rig.Logged("Aircraft Type : B747")) << int(encoding);
        EXPECT_EQ(f.cfg.THROTTLE_1_FULL, 880) << int(encoding);
        EXPECT_EQ(f.cfg.THROTTLE_3_MOTOR_CHANNEL, 2) << int(encoding);
        EXPECT_FALSE(rig.Logged("INFORMATION - Calibrate Throttles")) << int(encoding);
    }
}

TEST(ConfigFile, SavingKeepsTheFileEncodingAndEveryOtherLine)
{
    // The same save on the plain file gives the text every encoding must hold.
    Rig plain;
    plain.Start(UserFile(TextEncoding::Bytes));
    ASSERT_TRUE(SaveThrottleCalibration(plain));
    const std::string expected = plain.ConfigFile();
    ASSERT_EQ(IniFile::Parse(expected).Read("THROTTLES", "THROTTLE_1_IDLE"), "130");

    for (TextEncoding encoding : kMarkedEncodings) {
        Rig rig;
        rig.Start(UserFile(encoding));
        EXPECT_TRUE(SaveThrottleCalibration(rig)) << int(encoding);
        EXPECT_EQ(rig.ConfigFile(), EncodeText(encoding, expected)) << int(encoding);

        Rig next;
        EXPECT_EQ(next.Start(rig.ConfigFile()).cfg.THROTTLE_1_IDLE, 130) << int(encoding);
    }
}

// Something in CONFIG.INI's place that is no settings file.
struct Unusable {
    const char* name;
    void (*place)(MemoryFileSystem& files, const std::string& path);
    const char* problem;
};

const Unusable kUnusable[] = {
    {"a FIFO or a device", [](MemoryFileSystem& files, const std::string& path) { files.PutSpecial(path); },
     "is not a regular file"},
    {"one byte over the limit",
     [](MemoryFileSystem& files, const std::string& path) {
         std::string text = Ini({"[AIRCRAFT]", "TYPE=747"});
         text.resize(kMaxSettingsFileBytes + 1, '\n');
         files.Put(path, text);
     },
     "is larger than 1048576 bytes"},
};

TEST(ConfigFile, AnUnusableFileIsRefusedLoggedAndNeverOverwritten)
{
    for (const Unusable& u : kUnusable) {
        Rig rig;
        u.place(rig.files, kConfigPath);
        const auto before = rig.files.Files();
        TForm1& f = rig.Start();

        EXPECT_TRUE(LogHas(rig, std::string("Settings file not used: ") + kConfigPath + " " + u.problem)) << u.name;
        // Start-up completes, on the default file's values.
        EXPECT_TRUE(rig.Logged("Waiting for Devices to Connect...")) << u.name;
        EXPECT_EQ(f.aircraft_type.ItemIndex, 0) << u.name;
        EXPECT_EQ(f.cfg.MOTOR_SPEED_MAX, 100) << u.name;
        rig.host.RunFor(200);
        EXPECT_TRUE(rig.host.TimerEnabled(TimerId::Main)) << u.name;

        // A save is refused and reported; the file stays as it was.
        EXPECT_FALSE(SaveThrottleCalibration(rig)) << u.name;
        ASSERT_EQ(rig.dialogs.errors.size(), 1u) << u.name;
        EXPECT_NE(rig.dialogs.errors[0].find(u.problem), std::string::npos) << rig.dialogs.errors[0];
        EXPECT_TRUE(f.ConfigChanged) << u.name;
        EXPECT_EQ(rig.files.Files(), before) << u.name;
        EXPECT_EQ(rig.files.WriteCount(), 0) << u.name;
    }
}

TEST(ConfigFile, AFileOfExactlyTheLimitIsRead)
{
    std::string text = Ini({"[AIRCRAFT]", "TYPE=747"});
    text.resize(kMaxSettingsFileBytes, '\n');
    Rig rig;
    EXPECT_EQ(rig.Start(text).aircraft_type.ItemIndex, 2);
    EXPECT_FALSE(LogHas(rig, "not used"));
}

TEST(ConfigFile, AnUnusableBridgeSettingsFileIsRefusedAndTheDefaultHostTaken)
{
    for (const Unusable& u : kUnusable) {
        Rig rig;
        u.place(rig.files, kBridgeConfig);
        TForm1& f = rig.Start();
        EXPECT_EQ(f.SERVER_IP_ADDRESS, "127.0.0.1") << u.name;
        EXPECT_TRUE(LogHas(rig, std::string("Bridge settings not used: ") + kBridgeConfig + " " + u.problem))
            << u.name;
        EXPECT_TRUE(rig.Logged("Waiting for Devices to Connect...")) << u.name;
    }
}

TEST(ConfigFile, TheBridgeHostIsReadFromAMarkedFile)
{
    Rig rig;
    rig.files.Put(kBridgeConfig, EncodeText(TextEncoding::Utf16Le, "[SERVER]\r\nSERVER_IP_ADDRESS=10.0.0.7\r\n"));
    EXPECT_EQ(rig.Start().SERVER_IP_ADDRESS, "10.0.0.7");
}

TEST(ConfigFile, TemporariesOfAnInterruptedSaveAreRemovedAtStart)
{
    Rig rig;
    const std::string stale = std::string(kConfigPath) + ".tmp-4242";
    const std::string notOurs[] = {std::string(kConfigPath) + ".tmp-old", std::string(kConfigPath) + ".bak",
                                   std::string(kExeFolder) + "/OTHER.INI.tmp-4242"};
    rig.files.Put(stale, "half a file");
    for (const std::string& p : notOurs)
        rig.files.Put(p, "keep");

    rig.Start(UserFile(TextEncoding::Bytes));
    EXPECT_FALSE(rig.files.Exists(stale));
    EXPECT_TRUE(rig.Logged("Removed " + stale + ", left over from an interrupted save."));
    for (const std::string& p : notOurs)
        EXPECT_TRUE(rig.files.Exists(p)) << p;
    EXPECT_EQ(rig.form->aircraft_type.ItemIndex, 2);
}

} // namespace
} // namespace zrk::test
