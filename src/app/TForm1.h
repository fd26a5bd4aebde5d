#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/CalibrationDialogs.h"
#include "ports/Clock.h"
#include "ports/Dialogs.h"
#include "ports/EventLoop.h"
#include "ports/ProcessEnv.h"
#include "ports/SessionTap.h"
#include "app/WindowModel.h"
#include "boards/Board.h"
#include "boards/Roster.h"
#include "bridge/BridgeChannel.h"
#include "bridge/BridgeSocket.h"
#include "bridge/PanelBus.h"
#include "bridge/Snapshots.h"
#include "drives/AutoThrottle.h"
#include "drives/Speedbrake.h"
#include "drives/TrimIndicators.h"
#include "drives/TrimWheel.h"
#include "config/FileSystem.h"
#include "config/Settings.h"
#include "inputs/Calibration.h"
#include "inputs/InterfaceCard.h"
#include "sim/FPCuser.h"
#include "sim/IpcTransport.h"
#include "sim/LeverSender.h"

namespace zrk {

class IniFile;
class BoardsPanel;
class ChartsPanel;
class IBoardManager;

// Everything outside the process that the controller talks to.
struct Ports {
    IClock& clock;
    IEventLoop& loop;
    IProcessEnv& process;
    IDialogs& dialogs;
    IFileSystem& files;
    IBoardLibrary& boards;
    std::string exeFolder;   // where CONFIG.INI lives
    IBridgeSocket& bridgeSocket;
    IPanelBus& panelBus;
    IIpcTransport& simulator;   // the simulator's interface module
    uint16_t bridgePort = 698;   // tests may use another; the program always 698
    // Told of the timers, the user's actions and the steps of the
    // controller's life while a session is recorded; none otherwise.
    ISessionTap* tap = nullptr;
};

inline constexpr const char* kVersion = "2.07";
inline constexpr const char* kCaption = "ZRK Throttle and Trim Controller : 2.07";
inline constexpr const char* kBridgeConfigPath = "..\\NET_BRIDGE\\Config.ini";
inline constexpr const char* kBridgeExecutable = "NET_BRIDGE.exe";

// The controller and the model of its main window. It owns all runtime
// state; every handler runs on the event-loop thread.
class TForm1 : public ITimerSink, private RosterHost {
public:
    explicit TForm1(const Ports& ports);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // ---- lifecycle ----
    void FormCreate();
    // Whether the window may close; asks to save when a setting changed.
    bool FormCloseQuery();
    void FormClose();
    // Runs once, when the window is destroyed as the application ends.
    void FormDestroy();
    bool Destroyed() const { return destroyed_; }

    // ---- timers ----
    void OnTimer(TimerId id) override;
    void StartTimer();
    void Timer1Timer();
    void mainTimer();
    void ReconnectTimer();
    // The status bar's bridge and boards parts, from the connection and
    // the boards as they stand.
    void ShowLinkStatus();

    // ---- the Boards window ----
    // Its model while it is open; nullptr while it is closed.
    BoardsPanel* Boards() { return boardsPanel_.get(); }
    // Opens it (or gives the open one); closes it, stopping an identify.
    BoardsPanel& OpenBoards();
    void CloseBoards();
    // Every board plugged in, listed from the start.
    IBoardManager* BoardManager() { return boardManager_.get(); }
    // How long after the start the boards plugged in are looked at for
    // the one hint line about the Boards window.
    static constexpr uint32_t kBoardsHintAfterMs = 3000;

    // ---- the Charts window ----
    // Its model while it is open (the main cycle records into it); nullptr
    // while it is closed, when the cycle records nothing.
    ChartsPanel* Charts() { return chartsPanel_.get(); }
    // Opens it (or gives the open one) with an empty record; closes it.
    ChartsPanel& OpenCharts();
    void CloseCharts();

    // ---- configuration ----
    // Asks "Save Calibration Changes ?"; returns whether the window may close.
    bool Save_Config();
    void Button10Click() { Save_Config(); }
    std::string ConfigPath() const;

    // ---- user actions ----
    // User actions on the window and its dialogs, as the renderers and the
    // scenario runner forward them. Controls are named as on the window; a
    // dialog's controls carry the dialog's name and a dot ("Form4.Button8").
    // Each returns false when there is no such control, or it is hidden.
    bool Click(const std::string& control);
    // A user's drag of TrackBar n (1..12), brought into its range: runs its
    // change handler when the position changed.
    bool SetTrackBar(int n, int position);
    // "UpDown1", "UpDown2", "UpDown3", "UpDown5", "UpDown6"; the position is
    // brought into the control's range.
    bool SetUpDown(const std::string& name, int position);
    // "p_pid_p", "p_pid_i", "p_pid_d"; text of more than kMaxEditText bytes
    // or with a line break is refused with a log line.
    bool SetEdit(const std::string& name, const std::string& text);
    bool SetCheck(const std::string& name, bool checked);   // "manual_override"
    bool SelectRadio(const std::string& group, int index);   // "mode", "aircraft_type"
    static constexpr std::size_t kMaxEditText = 255;

    // Click on the aircraft type selector or the mode selector.
    void aircraft_typeClick();
    // The calibration buttons: throttles, reversers, flaps, speedbrake. Each
    // shows its dialog, filled from the settings, modeless.
    void Button4Click();
    void Button5Click();
    void Button1Click();
    void Button6Click();
    // The test panel's sliders: in mode TEST FS each hands its position to
    // the lever handlers. TrackBar11 uses the handler of 10, TrackBar12 that
    // of 9.
    void TrackBar1Change();
    void TrackBar2Change();
    void TrackBar3Change();
    void TrackBar4Change();
    void TrackBar5Change();
    void TrackBar6Change();
    void TrackBar7Change();
    void TrackBar8Change();
    void TrackBar9Change();
    void TrackBar10Change();
    // The "Trim Motors" panel: each stores its setting.
    void UpDown1Click();
    void UpDown2Click();
    void UpDown5Click();
    void UpDown6Click();
    void UpDown3Click();
    // Shared by the three PID boxes.
    void p_pid_dChange();

    // ---- process ----
    int KillTask(const std::string& exeName);
    // The bridge's order to quit: ends the bridge and the application
    // without any question.
    void QuitOrder();

    // ---- lever inputs ----
    // Sensor changes of the main interface card and of the second board.
    void PhidgetInterfaceKit2SensorChange(int index, int sensorValue);
    void PhidgetInterfaceKit1SensorChange(int index, int sensorValue);

    // ---- switch inputs ----
    // Digital input changes of the main interface card and of the second
    // board: `state` true when the contact closed.
    void PhidgetInterfaceKit2InputChange(int index, bool state);
    void PhidgetInterfaceKit1InputChange(int index, bool state);

    // ---- drives, run by the main cycle ----
    void Move_Stab_Trim_Wheel();
    void Set_Elevator_Trim_Servo();
    void Set_Rudder_Trim_Servo();
    // The autothrottle lever drive with the speedbrake cycle.
    void AutoThrottles();
    AutoThrottleInputs GatherAutoThrottleInputs() const;
    // The speedbrake drive's cycle, run inside AutoThrottles.
    void SpeedbrakeCycle();
    // The "SpeedBrake Test" buttons: Deploy, Retract, Stop, UP and DN.
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button2Click();
    void Button3Click();
    void ShowSpeedbrake(const SpeedbrakeReadouts& r);
    // Sets throttle_override_n while the pilot holds a driven lever.
    void DetectManualOverride();

    // ---- bridge ----
    void Send_Server_Message(const std::string& message) override;
    // Takes this tick's copies of the bridge's two data records.
    void TakeSnapshots();

    // ---- log ----
    void Log(const std::string& text) override;

    // ---- state ----
    Settings cfg;
    BoardRoster roster;
    BridgeChannel bridge;
    // The bridge's data records as copied at the start of the last tick.
    AircraftSnapshot Aircraft;
    SimulatorSnapshot Simulator;
    std::string SERVER_IP_ADDRESS = "127.0.0.1";
    bool ConfigChanged = false;
    bool FsuipcConnected = false;

    // Lever commands for the simulator, written by the lever handlers and
    // bounded and sent by the main cycle.
    int16_t throttle_out_1 = 0, throttle_out_2 = 0, throttle_out_3 = 0, throttle_out_4 = 0;
    int16_t spoiler_arm_out = 0, spoiler_out = 0;
    int16_t& ThrottleOut(int n);
    // Last accepted rounded lever values, for the change test.
    std::array<int32_t, 4> last_throttle_value{}, last_reverser_value{};
    bool sb_lever_armed = false;
    // The autothrottle lever drive, with its mode-3 hold (retard latch).
    AutoThrottle autoThrottle;
    // The motors of the levers, as the roster wires them.
    LeverMotors leverMotors;
    // The stabiliser trim wheel and its motor.
    TrimWheel trimWheel;
    MotorChannel trimMotor;
    // The motorised speedbrake lever, its motor and latch.
    Speedbrake speedbrake;
    SpeedbrakeHardware speedbrakeHardware;
    // The captain's, first officer's and rudder trim indicators.
    IndicatorServos cptIndicator, foIndicator, rudderIndicator;
    // Set while the pilot holds throttle lever n against its motor.
    std::array<uint8_t, 4> throttle_override{};

    // Send bookkeeping of the main cycle.
    LeverSender sender;
    uint32_t hw_check_tick = 0;
    int32_t FsuipcResult = 0;

    // The simulator link.
    FPCuser fsuipc;

    // The calibration dialogs, created after the main window.
    CalibrationDialog Form2{"Throttle Calibration"};
    CalibrationDialog Form3{"Reversers Calibration"};
    CalibrationDialog Form4{"Flap Calibration"};
    CalibrationDialog Form5{"Speedbrake Calibration"};

    // ---- window model ----
    std::string Caption = "ZRK Throttle and Trim Controller";
    bool Visible = false;
    RadioGroupModel aircraft_type{{"777", "737", "747"}, 0, 0};
    RadioGroupModel mode{{"AUTOMATIC", "TEST FS", "TEST  MOTORS"}, 0, 0};
    MemoModel Memo1;
    StatusBarModel StatusBar1;
    // TrackBar(1) .. TrackBar(12): throttles 1-4, reversers 1-4, speedbrake,
    // flaps, elevator trim, rudder trim.
    TrackBarModel& TrackBar(int n) { return trackBars_.at(std::size_t(n - 1)); }
    const TrackBarModel& TrackBar(int n) const { return trackBars_.at(std::size_t(n - 1)); }
    // Label(1) .. Label(99): the window's labels, by their number.
    LabelModel& Label(int n) { return labels_.at(std::size_t(n)); }
    const LabelModel& Label(int n) const { return labels_.at(std::size_t(n)); }
    // Trim motor tuning controls and their labels.
    EditModel p_pid_p, p_pid_i, p_pid_d;
    CheckBoxModel manual_override;
    UpDownModel UpDown1, UpDown2, UpDown3, UpDown5, UpDown6;
    // The engine-fire lamps of the "Eng Fire" panel.
    ShapeModel Shape3{13881029}, Shape4{13881029};
    // Status lamps: fuel control switches 1..4 and the parking brake.
    ShapeModel fuel1{13881029}, fuel2{13881029}, fuel3{13881029}, fuel4{13881029}, parkingbrake{13881029};
    ShapeModel& fuel(int n) { return n == 1 ? fuel1 : n == 2 ? fuel2 : n == 3 ? fuel3 : fuel4; }
    // Motor currents of throttles 1 and 2, in the "Manual Override" panel.
    LabelModel current1, current2;
    // The speedbrake latch lamps under "Latch".
    ShapeModel Shape1{8421504}, Shape2{8421504};
    // The simulator's throttle 1 and 2 positions.
    LabelModel engine_l_throttle_pos, engine_r_throttle_pos;

private:
    bool OpenFsuipcLink();
    void CloseFsuipcLink();
    void StopMotorsForShutdown();
    // Stops the main cycle and every motor, then closes every board and the
    // simulator link; the steps window close and destruction share.
    void ReleaseHardware();
    void ShowTrimTuning();
    // The calibration dialogs' side.
    CalibrationDialog& Dialog(CalibrationForm form);
    void ShowCalibration(CalibrationForm form);
    void OpenCalibration(CalibrationForm form);
    bool DialogButtonClick(CalibrationForm form, int button);
    // A test-panel slider handing its position to the lever handlers.
    void TestPanelChange(int trackBar);
    // The trim tuning up-down of that name; nullptr for another name.
    UpDownModel* UpDownNamed(std::string_view name);
    void TuningClick(std::string_view control);
    // The labels beside the trim tuning controls.
    void ShowTrimTuningLabels();
    void LogCalibrationReminders();
    // Loads the bridge host from the bridge's own settings file.
    void ReadBridgeHost();
    // Reads CONFIG.INI, writing the default file first when it is missing.
    IniFile OpenConfig();

    // Lever blocks of the sensor handlers.
    void ThrottleBlock(int n, int sensorValue);
    // False when the event ends here (a locked-out reverser).
    bool ReverserBlock(int n, int sensorValue);
    void SpeedbrakeBlock(int sensorValue, bool followsAlways);
    // The flap detent windows depend on the card that delivered the event.
    void FlapBlock(int sensorValue, InterfaceCard card);
    // Reports one switch change to the bridge and colours its label.
    void SwitchChanged(InterfaceCard card, int index, bool closed);
    // Puts a reading on a lever's track bar, shows it in its raw label and
    // returns the track bar's position.
    int RawPosition(int trackBar, int rawLabel, int sensorValue, bool follows);

    // Steps of the main cycle.
    void ReportRoster();
    void RetardLatch();
    void ShowCycleDisplays();
    void BoundLeverCommands();
    void SendLeverCommands();
    void EngineFireLamps();
    void LogValue(const char* label, int value);

    Ports ports_;
    std::array<TrackBarModel, 12> trackBars_{};
    std::array<LabelModel, 100> labels_{};
    bool destroyed_ = false;
    // The Boards window's side: the list of boards, the window's model,
    // and the start's hint, looked at once.
    void BoardsTick();
    std::unique_ptr<IBoardManager> boardManager_;
    std::unique_ptr<BoardsPanel> boardsPanel_;
    uint32_t createdAtMs_ = 0;
    bool boardsHinted_ = false;
    // The Charts window's side: its model, and this cycle's values that
    // only the drives' readouts hold, kept for its record.
    void RecordCharts();
    std::unique_ptr<ChartsPanel> chartsPanel_;
    struct CycleValues {
        std::array<float, 4> toMotor;
        std::array<float, 2> current;
        float speedbrakeToMotor;
        TrimWheelReadouts trim;
    };
    CycleValues cycle_{};
    void ClearCycleValues();
    // Tells the session tap, where there is one, of a user's action.
    void Announce(const std::string& action);
    // Problems met before the log is started, logged right after it.
    std::vector<std::string> startupWarnings_;
};

// `text` with every control character, and every byte that is not valid
// UTF-8, shown as '?'; tabs and valid UTF-8 text stay as they are.
std::string PrintableLogText(std::string_view text);

// The text of a log line: local time HH:MM:SS, " : ", the text made
// printable.
std::string LogLine(const LocalTime& t, const std::string& text);

} // namespace zrk
