#include "app/TForm1.h"

#include <cstdio>

#include "app/BoardsPanel.h"
#include "app/ChartsPanel.h"
#include "boards/BoardManager.h"
#include "config/Convert.h"
#include "config/DefaultConfig.h"
#include "config/IniFile.h"
#include "config/TrimTuning.h"

namespace zrk {

namespace {

constexpr int kFormColor = 14933717;

} // namespace

std::string PrintableLogText(std::string_view text)
{
    // Log lines carry text from outside: device names from the board
    // library, arguments, file contents. A line must stay one line in the
    // window and on standard output and must not drive a terminal, so every
    // control character becomes '?': C0 controls but the tab (harmless
    // spacing), DEL, the C1 controls (U+0080..U+009F, CSI among them), and
    // the line and paragraph separators U+2028, U+2029. A byte that starts
    // no valid UTF-8 sequence becomes '?' on its own, so the mark is plain
    // ASCII and shows on any console. Valid UTF-8 passes unchanged.
    std::string out;
    out.reserve(text.size());
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const auto continuation = [&](std::size_t i) { return (byte(i) & 0xC0u) == 0x80u; };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned b = byte(i);
        if (b < 0x80) {
            out += (b < 0x20 && b != '\t') || b == 0x7F ? '?' : char(b);
            ++i;
            continue;
        }
        // The sequence's length and the range of its second byte, which
        // rules out overlong forms, surrogates and code points beyond
        // U+10FFFF.
        std::size_t length = 0;
        unsigned low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length > 0 && byte(i + 1) >= low && byte(i + 1) <= high;
        for (std::size_t k = 2; valid && k < length; ++k)
            valid = continuation(i + k);
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        const bool c1 = b == 0xC2 && byte(i + 1) <= 0x9F;
        const bool separator = b == 0xE2 && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9);
        if (c1 || separator)
            out += '?';
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string LogLine(const LocalTime& t, const std::string& text)
{
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", t.hour % 100, t.minute % 100, t.second % 100);
    return std::string(stamp) + " : " + PrintableLogText(text);
}

TForm1::TForm1(const Ports& ports)
    : roster(ports.boards, cfg, *this),
      bridge(
          ports.bridgeSocket, [this] { QuitOrder(); },
          [this](const std::string& error) { ports_.dialogs.ShowError(error); }, "127.0.0.1",
          ports.bridgePort),
      fsuipc(ports.simulator, ports.clock),
      ports_(ports)
{
    Label(60).Caption = "FLAPS UNKNOWN";
    roster.PhidgetInterfaceKit2->OnSensorChange = [this](int i, int v) { PhidgetInterfaceKit2SensorChange(i, v); };
    roster.PhidgetInterfaceKit1->OnSensorChange = [this](int i, int v) { PhidgetInterfaceKit1SensorChange(i, v); };
    roster.PhidgetInterfaceKit2->OnInputChange = [this](int i, bool s) { PhidgetInterfaceKit2InputChange(i, s); };
    roster.PhidgetInterfaceKit1->OnInputChange = [this](int i, bool s) { PhidgetInterfaceKit1InputChange(i, s); };
    // The switch indicators: fuel control switches 1..4, parking brake.
    for (int n : {46, 53, 54, 55})
        Label(n).Caption = "RUN";
    Label(58).Caption = "SET";
    // The trim wheel's direction, shown while it turns.
    Label(33).Caption = "FWD";
    Label(34).Caption = "BKD";
    Label(33).Visible = Label(34).Visible = false;
    // The live lever positions of the flap and speedbrake dialogs show
    // their design text until the lever first reports; a capture before
    // then takes that 0.
    for (const CalibrationForm form : {CalibrationForm::Flaps, CalibrationForm::Speedbrake})
        Dialog(form).Label(CaptureLiveLabel(form)).Caption = "0";
    LoadDefaults(cfg);
    for (int n = 11; n <= 12; ++n)
        TrackBar(n).Min = n == 11 ? -16383 : -1745;
    TrackBar(11).Max = 16383;
    TrackBar(12).Max = 1745;
    ports_.loop.SetTimer(TimerId::Timer1, true, 1000);
}

TForm1::~TForm1()
{
    // The roster stops listening before the list it listens to goes.
    roster.StopWatchingKinds();
    boardsPanel_.reset();
}

void TForm1::Log(const std::string& text)
{
    Memo1.Add(LogLine(ports_.clock.Now(), text));
}

std::string TForm1::ConfigPath() const
{
    return JoinPath(ports_.exeFolder, "CONFIG.INI");
}

// ---------------------------------------------------------------- start-up

void TForm1::ReadBridgeHost()
{
    SERVER_IP_ADDRESS = "127.0.0.1";
    const FileRead file = ports_.files.Read(kBridgeConfigPath, kMaxSettingsFileBytes);
    if (file.status == FileRead::Status::Refused) {
        startupWarnings_.push_back("Bridge settings not used: " + file.problem + ". The bridge is looked for at "
                                   + SERVER_IP_ADDRESS + ".");
        return;
    }
    if (file.status == FileRead::Status::Read) {
        const IniFile bridge = IniFile::Parse(file.bytes);
        if (auto host = bridge.Read("SERVER", "SERVER_IP_ADDRESS"))
            SERVER_IP_ADDRESS = *host;
    }
}

IniFile TForm1::OpenConfig()
{
    const std::string path = ConfigPath();
    // Temporary files of saves that an earlier run did not finish.
    for (const std::string& leftover : ports_.files.RemoveStaleTemporaries(path))
        startupWarnings_.push_back("Removed " + leftover + ", left over from an interrupted save.");

    FileRead file = ports_.files.Read(path, kMaxSettingsFileBytes);
    if (file.status == FileRead::Status::Missing) {
        const std::string error = ports_.files.WriteFileAtomic(path, DefaultConfigText());
        if (!error.empty()) {
            // Run as a fresh installation would, on the default file's values.
            startupWarnings_.push_back("The default settings file could not be written (" + error
                                       + "). Running on the default settings.");
            return IniFile::Parse(DefaultConfigText());
        }
        // Said in the log, so the user knows where the settings live.
        startupWarnings_.push_back("Settings saved to " + path);
        file = ports_.files.Read(path, kMaxSettingsFileBytes);
    }
    if (file.status == FileRead::Status::Read)
        return IniFile::Parse(file.bytes);
    // Not a settings file (a FIFO, a device, far too large) or unreadable:
    // run as a fresh installation would, and leave the file alone; saving
    // refuses to replace it.
    startupWarnings_.push_back("Settings file not used: "
                               + (file.problem.empty() ? path + " disappeared" : file.problem)
                               + ". Running on the default settings; the file is left as it is.");
    return IniFile::Parse(DefaultConfigText());
}

void TForm1::Announce(const std::string& action)
{
    if (ports_.tap)
        ports_.tap->UserAction(action);
}

void TForm1::FormCreate()
{
    if (ports_.tap)
        ports_.tap->Lifecycle(ISessionTap::Life::Create);
    // 1. Caption and colours.
    Caption = kCaption;
    aircraft_type.Color = kFormColor;
    Memo1.Color = kFormColor;

    // 2. Bridge host. 3. CONFIG.INI, written first when missing.
    ReadBridgeHost();
    const IniFile ini = OpenConfig();

    // 4. One try at the simulator link.
    FsuipcConnected = false;
    if (OpenFsuipcLink())
        FsuipcConnected = true;

    // 5. Log start.
    Memo1.Clear();
    Log(std::string("Version : ") + kVersion);
    for (const std::string& w : startupWarnings_)
        Log(w);
    startupWarnings_.clear();

    // 6. Aircraft type, applied as if the user had clicked it.
    LoadSettings(ini, LoadGroup::Aircraft, cfg);
    aircraft_type.ItemIndex = cfg.TYPE == "747" ? 2 : cfg.TYPE == "737" ? 1 : 0;
    Log(std::string("Aircraft Type : B") + (aircraft_type.ItemIndex == 2   ? "747"
                                           : aircraft_type.ItemIndex == 1 ? "737"
                                                                          : "777"));
    aircraft_typeClick();
    ConfigChanged = false;

    // 7. Serial numbers.
    LoadSettings(ini, LoadGroup::Log, cfg);
    Log("Reading Serial Numbers");
    LoadSettings(ini, LoadGroup::Serials, cfg);
    roster.LogMissingSerials();
    Log("Reading Serial Numbers - Completed");

    // 8. Everything else, the tuning controls and the calibration reminders.
    std::vector<std::string> corrections;
    LoadSettings(ini, LoadGroup::Main, cfg, &corrections);
    for (const std::string& line : corrections)
        Log(line);
    p_pid_p.Text = cfg.PID_P;
    p_pid_i.Text = cfg.PID_I;
    p_pid_d.Text = cfg.PID_D;
    manual_override.Checked = cfg.ENABLE_MANUAL_OVERRIDE;
    ShowTrimTuning();
    LogCalibrationReminders();
    ConfigChanged = false;

    // 9. Open the boards; they report themselves later.
    Log("Waiting for Devices to Connect...");
    const bool is747 = aircraft_type.ItemIndex == 2;
    if (is747)
        LoadSettings(ini, LoadGroup::Board747, cfg);
    roster.OpenBoards(is747);
    // Every board plugged in, for the Boards window and the start's hint.
    boardManager_ = ports_.boards.CreateManager();
    createdAtMs_ = ports_.clock.TickCount();
    // A configured serial that is another kind of board is said, never driven.
    roster.WatchKinds(*boardManager_);
    leverMotors = roster.LeverMotorChannels();
    trimMotor = roster.TrimMotorChannel();
    speedbrakeHardware = roster.SpeedbrakeChannels();
    cptIndicator = roster.IndicatorChannels(0);
    foIndicator = roster.IndicatorChannels(1);
    rudderIndicator = roster.IndicatorChannels(2);

    // 10. The file is closed: `ini` is a copy.
    // 11. Lever commands.
    throttle_out_1 = throttle_out_2 = throttle_out_3 = throttle_out_4 = 0;
    spoiler_arm_out = spoiler_out = 0;

    // 12. Open the use of the bridge's data library.
    ports_.panelBus.Operation3();
    ports_.panelBus.Operation11();

    // 13. First connection to the bridge, after a second's grace.
    bridge.SetHost(SERVER_IP_ADDRESS);
    ports_.clock.Sleep(1000);
    bridge.Start();

    ShowLinkStatus();

    // 14. Watchdog and deferred start.
    ports_.loop.SetTimer(TimerId::Reconnect, true, 2000);
    ports_.loop.SetTimer(TimerId::Start, true, 100);
}

void TForm1::ShowTrimTuning()
{
    // Each control shows its setting within the control's range; the label
    // beside it shows the setting itself.
    for (const char* name : {"UpDown1", "UpDown2", "UpDown5", "UpDown6", "UpDown3"})
        UpDownNamed(name)->Position = TuningPosition(*FindTuningControl(name), cfg);
    ShowTrimTuningLabels();
}

void TForm1::ShowTrimTuningLabels()
{
    Label(40).Caption = cfg.TRIM_REVERSE_MOTOR_DIRECTION ? "1" : "0";
    Label(41).Caption = SafeFloatToStr(cfg.TRIM_NULL_ZONE);
    Label(44).Caption = SafeIntToStr(cfg.MOTOR_SPEED_MAX);
    Label(75).Caption = SafeIntToStr(cfg.MOTOR_ACCELERATION);
    Label(78).Caption = SafeIntToStr(cfg.TRIM_TIME_DELAY_BETWEEN_MOTION);
}

void TForm1::LogCalibrationReminders()
{
    const Settings& c = cfg;
    // Sums in 64 bits: calibration values are user text and may be huge.
    const int64_t flaps = int64_t(c.FLAP_UP) + c.FLAP_1 + c.FLAP_5 + c.FLAP_10 + c.FLAP_15 + c.FLAP_17
                          + c.FLAP_18 + c.FLAP_20 + c.FLAP_25 + c.FLAP_30 + c.FLAP_40;
    if (flaps < 28)
        Log("INFORMATION - Calibrate Flaps");
    if (int64_t(c.THROTTLE_1_IDLE) + c.THROTTLE_1_FULL + c.THROTTLE_2_IDLE + c.THROTTLE_2_FULL < 2)
        Log("INFORMATION - Calibrate Throttles");
    if (int64_t(c.SPEEDBRAKE_DN) + c.SPEEDBRAKE_UP < 1)
        Log("INFORMATION - Calibrate Speedbrake");
    if (int64_t(c.REVERSER_1_IDLE) + c.REVERSER_1_FULL + c.REVERSER_2_IDLE + c.REVERSER_2_FULL < 2)
        Log("INFORMATION - Calibrate Reversers");
}

// ---------------------------------------------------------------- timers

void TForm1::OnTimer(TimerId id)
{
    if (ports_.tap)
        ports_.tap->TimerEvent(id);
    switch (id) {
    case TimerId::Timer1: Timer1Timer(); break;
    case TimerId::Main:
        mainTimer();
        BoardsTick();
        break;
    case TimerId::Reconnect: ReconnectTimer(); break;
    case TimerId::Start: StartTimer(); break;
    }
}

void TForm1::StartTimer()
{
    ports_.loop.SetTimer(TimerId::Start, false, 100);
    if (auto text = ports_.files.ReadFile(ConfigPath()))
        LoadSettings(IniFile::Parse(*text), LoadGroup::StartUp, cfg);
    else
        LoadSettings(IniFile(), LoadGroup::StartUp, cfg);
    if (cfg.START_MINIMIZED)
        ports_.loop.Minimize();
    ports_.loop.SetTimer(TimerId::Main, true, 100);
}

void TForm1::Timer1Timer()
{
    if (!FsuipcConnected && OpenFsuipcLink())
        FsuipcConnected = true;
    StatusBar1.SimpleText = FsuipcConnected ? "FSUIPC Connected" : "Waiting for FSUIPC";
    ShowLinkStatus();
}

void TForm1::ShowLinkStatus()
{
    StatusBar1.BridgeText = bridge.Connected() ? "Bridge Connected"
                                               : "Waiting for Bridge " + bridge.Host() + ":"
                                                     + std::to_string(bridge.Port());
    StatusBar1.BoardsText =
        "Boards " + std::to_string(roster.AttachedBoards()) + "/" + std::to_string(roster.ConfiguredBoards());
}

void TForm1::ReconnectTimer()
{
    bridge.ReconnectTimer(Aircraft.tq_connected_seen());
    ShowLinkStatus();
}

// ---------------------------------------------------------------- simulator link

bool TForm1::OpenFsuipcLink()
{
    return fsuipc.OpenLink(0, FsuipcResult);
}

void TForm1::CloseFsuipcLink()
{
    fsuipc.CloseLink();
}

int16_t& TForm1::ThrottleOut(int n)
{
    switch (n) {
    case 1: return throttle_out_1;
    case 2: return throttle_out_2;
    case 3: return throttle_out_3;
    default: return throttle_out_4;
    }
}

// ---------------------------------------------------------------- bridge

void TForm1::Send_Server_Message(const std::string& message)
{
    bridge.Send_Server_Message(message);
}

void TForm1::TakeSnapshots()
{
    CopySnapshots(ports_.panelBus, Aircraft, Simulator);
}

// ---------------------------------------------------------------- user actions

void TForm1::aircraft_typeClick()
{
    ConfigChanged = true;
    const int index = aircraft_type.ItemIndex;
    if (index < 0 || index > 2)
        return;
    const bool fourLevers = index == 2;
    for (int n : {3, 4, 7, 8})
        TrackBar(n).Visible = fourLevers;
    // Row captions and value labels of levers 3 and 4.
    for (int n : {11, 12, 15, 16, 3, 4, 7, 8, 24, 25, 28, 29, 64, 65, 72, 73})
        Label(n).Visible = fourLevers;
}

// ---------------------------------------------------------------- saving

bool TForm1::Save_Config()
{
    const DialogAnswer answer = ports_.dialogs.AskYesNoCancel("Save Calibration Changes ?");
    if (answer == DialogAnswer::Cancel)
        return false;
    if (answer == DialogAnswer::No)
        return true;

    // The values shown in controls are saved as they stand.
    cfg.TYPE = aircraft_type.ItemIndex == 2 ? "747" : aircraft_type.ItemIndex == 1 ? "737" : "777";
    cfg.ENABLE_MANUAL_OVERRIDE = manual_override.Checked;
    cfg.PID_P = p_pid_p.Text;
    cfg.PID_I = p_pid_i.Text;
    cfg.PID_D = p_pid_d.Text;

    const std::string path = ConfigPath();
    IniFile ini;   // a missing file is created with the saved subset
    const FileRead file = ports_.files.Read(path, kMaxSettingsFileBytes);
    if (file.status == FileRead::Status::Refused) {
        // Writing now would replace the user's file (or whatever stands in
        // its place) with the saved subset alone.
        const std::string msg = "Settings not saved: " + file.problem + ".";
        Log(msg);
        ports_.dialogs.ShowError(msg);
        return false;
    }
    if (file.status == FileRead::Status::Read)
        ini = IniFile::Parse(file.bytes);   // keeps the file's encoding
    StoreSavedSettings(cfg, ini);
    const std::string error = ports_.files.WriteFileAtomic(path, ini.Text());
    if (!error.empty()) {
        const std::string msg = "Settings not saved: " + error;
        Log(msg);
        ports_.dialogs.ShowError(msg);
        return false;
    }
    // A save is otherwise silent: the log says it worked, and where.
    Log("Settings saved to " + path);
    ConfigChanged = false;
    return true;
}

// ---------------------------------------------------------------- closing

bool TForm1::FormCloseQuery()
{
    if (ports_.tap)
        ports_.tap->Lifecycle(ISessionTap::Life::CloseQuery);
    if (!ConfigChanged)
        return true;
    return Save_Config();
}

void TForm1::StopMotorsForShutdown()
{
    // Every motor the program drives stops before its board is closed: a
    // motor left running would drive its lever into the stop after the
    // program has gone.
    trimMotor.SetVelocity(0);
    StopLeverMotors(leverMotors);
}

void TForm1::ReleaseHardware()
{
    ports_.loop.SetTimer(TimerId::Main, false, 100);
    // An identify in progress stops with the rest (the Boards window's
    // model stays while a window may still draw it).
    if (boardsPanel_)
        boardsPanel_->Closed();
    StopMotorsForShutdown();
    roster.RemoveSensorHandlers();
    roster.CloseAll();
    CloseFsuipcLink();
}

void TForm1::FormClose()
{
    if (ports_.tap)
        ports_.tap->Lifecycle(ISessionTap::Life::Close);
    ReleaseHardware();
}

void TForm1::FormDestroy()
{
    if (destroyed_)
        return;
    if (ports_.tap)
        ports_.tap->Lifecycle(ISessionTap::Life::Destroy);
    destroyed_ = true;
    Send_Server_Message("ZRK_TQ_CONNECTED=0");
    ReleaseHardware();
    ports_.panelBus.Operation4();
    ports_.panelBus.Operation12();
    bridge.Close();
    ports_.loop.SetTimer(TimerId::Timer1, false, 1000);
    ports_.loop.SetTimer(TimerId::Reconnect, false, 2000);
    ports_.loop.SetTimer(TimerId::Start, false, 100);
}

// ---------------------------------------------------------------- process

int TForm1::KillTask(const std::string& exeName)
{
    return ports_.process.KillTask(exeName);
}

void TForm1::QuitOrder()
{
    KillTask(kBridgeExecutable);
    ports_.loop.Terminate();
}

} // namespace zrk
