#include "app/record/SessionRecorder.h"

#include <algorithm>
#include <limits>

#include "boards/BoardManager.h"

namespace zrk {

namespace {

TapeEntry Entry(TapeEntry::Kind kind, uint8_t code, uint32_t object = 0, int32_t index = 0)
{
    TapeEntry e;
    e.kind = kind;
    e.code = code;
    e.object = object;
    e.index = index;
    return e;
}
TapeEntry WithNumber(TapeEntry e, double v)
{
    e.hasNumber = true;
    e.number = v;
    return e;
}
TapeEntry WithBytes(TapeEntry e, std::string b)
{
    e.hasBytes = true;
    e.bytes = std::move(b);
    return e;
}

using K = TapeEntry::Kind;

} // namespace

// ---- sinks ----

std::string MemoryRecordingSink::Append(const std::string& b)
{
    if (!failWith.empty())
        return failWith;
    bytes += b;
    return {};
}

std::string MemoryRecordingSink::Replace(const std::string& b)
{
    if (!failWith.empty())
        return failWith;
    bytes = b;
    return {};
}

// ---- the clock: still within an event ----

class SessionRecorder::Clock : public IClock {
public:
    Clock(SessionRecorder& r, IClock& inner) : r_(r), inner_(inner), tick_(inner.TickCount()) {}
    uint32_t TickCount() override { return tick_ + slept_; }
    void Sleep(uint32_t ms) override
    {
        inner_.Sleep(ms);
        slept_ += ms;
    }
    LocalTime Now() override
    {
        const LocalTime t = inner_.Now();
        r_.Add(WithNumber(Entry(K::Read, TapeCode::kLocalTime), t.hour * 3600 + t.minute * 60 + t.second));
        return t;
    }
    // A new event: the tick count moves on to the real one.
    uint32_t Latch()
    {
        tick_ = inner_.TickCount();
        slept_ = 0;
        return tick_;
    }

private:
    SessionRecorder& r_;
    IClock& inner_;
    uint32_t tick_;
    uint32_t slept_ = 0;
};

// ---- boards ----

namespace {

// Calls `f` on the real board, recording a board error it raises (then
// raised again, as the controller expects it).
template <class F>
auto Guarded(SessionRecorder& r, TapeEntry failure, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const BoardError&) {
        failure.threw = true;
        r.Add(failure);
        throw;
    }
}

// The part every kind shares: opening, closing, identity, attach and
// detach. Identity reads are recorded only where they differ from what the
// attach recorded, which is nearly never.
template <class Interface>
class RecordedBoard : public Interface {
public:
    RecordedBoard(SessionRecorder& r, std::unique_ptr<Interface> inner, uint32_t object)
        : r_(r), inner_(std::move(inner)), object_(object)
    {
        inner_->OnAttach = [this] {
            r_.Dispatch(Entry(K::Dispatch, TapeCode::kBoardAttach, object_));
            SessionRecorder::BoardState& s = State();
            s.attached = true;
            // What the replay's board answers from now on.
            try {
                s.serial = inner_->SerialNumber();
                s.name = inner_->DeviceName();
            } catch (const BoardError&) {
            }
            r_.Add(WithNumber(Entry(K::Read, TapeCode::kBoardSerial, object_), s.serial));
            r_.Add(WithBytes(Entry(K::Read, TapeCode::kBoardName, object_), s.name));
            Attached(*this->inner_);
            if (this->OnAttach)
                this->OnAttach();
        };
        inner_->OnDetach = [this] {
            r_.Dispatch(Entry(K::Dispatch, TapeCode::kBoardDetach, object_));
            State().attached = false;
            if (this->OnDetach)
                this->OnDetach();
        };
    }
    BoardKind Kind() const override { return inner_->Kind(); }
    void Open(int serial) override
    {
        Command("open", 0, serial, [&] { inner_->Open(serial); });
    }
    void OpenRemote(const std::string& address, int port, int serial, const std::string& password) override
    {
        // The address is CONFIG.INI's; the password is not recorded.
        Command("open_remote", port, serial, [&] { inner_->OpenRemote(address, port, serial, password); });
    }
    void Close() override
    {
        Command("close", 0, 0, [&] { inner_->Close(); });
    }
    std::string DeviceName() override
    {
        std::string name = Guarded(r_, Entry(K::Read, TapeCode::kBoardName, object_), [&] { return inner_->DeviceName(); });
        if (name != State().name) {
            State().name = name;
            r_.Add(WithBytes(Entry(K::Read, TapeCode::kBoardName, object_), name));
        }
        return name;
    }
    int SerialNumber() override
    {
        const int serial =
            Guarded(r_, Entry(K::Read, TapeCode::kBoardSerial, object_), [&] { return inner_->SerialNumber(); });
        if (serial != State().serial) {
            State().serial = serial;
            r_.Add(WithNumber(Entry(K::Read, TapeCode::kBoardSerial, object_), serial));
        }
        return serial;
    }
    bool Attached() override
    {
        const bool on = Guarded(r_, Entry(K::Read, TapeCode::kBoardAttached, object_), [&] { return inner_->Attached(); });
        if (on != State().attached) {
            // Ahead of its event (a board unplugged a moment ago): the
            // replay's board answers the same once.
            r_.Add(WithNumber(Entry(K::Read, TapeCode::kBoardAttached, object_), on ? 1 : 0));
        }
        return on;
    }

protected:
    virtual void Attached(Interface&) {}
    SessionRecorder::BoardState& State() { return r_.boards[object_]; }
    template <class F>
    void Command(const char* what, int index, double value, F&& f)
    {
        TapeEntry e = WithBytes(WithNumber(Entry(K::Output, TapeCode::kBoardCommand, object_, index), value), what);
        try {
            f();
        } catch (const BoardError&) {
            e.threw = true;
            r_.Add(e);
            r_.RepeatedCommand(object_, what, index, std::numeric_limits<double>::quiet_NaN());
            throw;
        }
        if (!r_.RepeatedCommand(object_, what, index, value))
            r_.Add(e);
    }
    double Read(uint8_t code, int index, const std::function<double()>& f)
    {
        const double v = Guarded(r_, Entry(K::Read, code, object_, index), f);
        if (!r_.RepeatedRead(code, object_, index, v))
            r_.Add(WithNumber(Entry(K::Read, code, object_, index), v));
        return v;
    }

    SessionRecorder& r_;
    std::unique_ptr<Interface> inner_;
    uint32_t object_;
};

class RecordedKit : public RecordedBoard<IInterfaceKit> {
public:
    RecordedKit(SessionRecorder& r, std::unique_ptr<IInterfaceKit> inner, uint32_t object)
        : RecordedBoard(r, std::move(inner), object)
    {
        inner_->OnSensorChange = [this](int input, int value) {
            r_.Dispatch(WithNumber(Entry(K::Dispatch, TapeCode::kSensorChange, object_, input), value));
            if (OnSensorChange)
                OnSensorChange(input, value);
        };
        inner_->OnInputChange = [this](int input, bool state) {
            r_.Dispatch(WithNumber(Entry(K::Dispatch, TapeCode::kInputChange, object_, input), state ? 1 : 0));
            if (OnInputChange)
                OnInputChange(input, state);
        };
    }
    void SetRatiometric(bool on) override
    {
        Command("ratiometric", 0, on, [&] { inner_->SetRatiometric(on); });
    }
    void SetSensorChangeTrigger(int input, int trigger) override
    {
        Command("trigger", input, trigger, [&] { inner_->SetSensorChangeTrigger(input, trigger); });
    }
    int OutputCount() override
    {
        return int(Read(TapeCode::kBoardOutputs, 0, [&] { return double(inner_->OutputCount()); }));
    }
    void SetOutputState(int output, bool on) override
    {
        Command("output", output, on, [&] { inner_->SetOutputState(output, on); });
    }
};

class RecordedMotors : public RecordedBoard<IMotorControl> {
public:
    using RecordedBoard::RecordedBoard;
    void SetVelocity(int motor, double percent) override
    {
        Command("velocity", motor, percent, [&] { inner_->SetVelocity(motor, percent); });
    }
    double Velocity(int motor) override
    {
        return Read(TapeCode::kBoardVelocity, motor, [&] { return inner_->Velocity(motor); });
    }
    void SetAcceleration(int motor, double value) override
    {
        Command("acceleration", motor, value, [&] { inner_->SetAcceleration(motor, value); });
    }
    double Current(int motor) override
    {
        return Read(TapeCode::kBoardCurrent, motor, [&] { return inner_->Current(motor); });
    }
};

template <class Interface>
class RecordedServoBase : public RecordedBoard<Interface> {
public:
    using RecordedBoard<Interface>::RecordedBoard;
    void SetPosition(int servo, double degrees) override
    {
        this->Command("position", servo, degrees, [&] { this->inner_->SetPosition(servo, degrees); });
    }
    double Position(int servo) override
    {
        return this->Read(TapeCode::kBoardPosition, servo, [&] { return this->inner_->Position(servo); });
    }
    void SetEngaged(int servo, bool on) override
    {
        this->Command("engaged", servo, on, [&] { this->inner_->SetEngaged(servo, on); });
    }
};

class RecordedServo : public RecordedServoBase<IServo> {
public:
    using RecordedServoBase::RecordedServoBase;
};

class RecordedAdvancedServo : public RecordedServoBase<IAdvancedServo> {
public:
    using RecordedServoBase::RecordedServoBase;
    void SetPositionMin(int servo, double degrees) override
    {
        Command("position_min", servo, degrees, [&] { inner_->SetPositionMin(servo, degrees); });
    }
    void SetPositionMax(int servo, double degrees) override
    {
        Command("position_max", servo, degrees, [&] { inner_->SetPositionMax(servo, degrees); });
    }
    void SetSpeedRamping(int servo, bool on) override
    {
        Command("ramping", servo, on, [&] { inner_->SetSpeedRamping(servo, on); });
    }
    void SetVelocityLimit(int servo, double limit) override
    {
        Command("velocity_limit", servo, limit, [&] { inner_->SetVelocityLimit(servo, limit); });
    }
};

} // namespace

class SessionRecorder::Boards : public IBoardLibrary {
public:
    Boards(SessionRecorder& r, IBoardLibrary& inner) : r_(r), inner_(inner) {}
    std::unique_ptr<IInterfaceKit> CreateInterfaceKit() override
    {
        return std::make_unique<RecordedKit>(r_, inner_.CreateInterfaceKit(), Number(BoardKind::InterfaceKit));
    }
    std::unique_ptr<IMotorControl> CreateMotorControl() override
    {
        return std::make_unique<RecordedMotors>(r_, inner_.CreateMotorControl(), Number(BoardKind::MotorControl));
    }
    std::unique_ptr<IAdvancedServo> CreateAdvancedServo() override
    {
        return std::make_unique<RecordedAdvancedServo>(r_, inner_.CreateAdvancedServo(),
                                                       Number(BoardKind::AdvancedServo));
    }
    std::unique_ptr<IServo> CreateServo() override
    {
        return std::make_unique<RecordedServo>(r_, inner_.CreateServo(), Number(BoardKind::Servo));
    }
    // The list of boards serves the Boards window only, which a replay does
    // not show.
    std::unique_ptr<IBoardManager> CreateManager() override { return inner_.CreateManager(); }

private:
    uint32_t Number(BoardKind kind)
    {
        r_.boards.push_back({int(kind), 0, {}, false});
        const uint32_t n = uint32_t(r_.boards.size() - 1);
        r_.Add(Entry(K::Read, TapeCode::kBoardMade, n, int(kind)));
        return n;
    }
    SessionRecorder& r_;
    IBoardLibrary& inner_;
};

// ---- the bridge's socket and data library ----

class SessionRecorder::Socket : public IBridgeSocket {
public:
    Socket(SessionRecorder& r, IBridgeSocket& inner) : r_(r), inner_(inner)
    {
        inner_.OnConnected = [this](int error) {
            r_.Dispatch(WithNumber(Entry(K::Dispatch, TapeCode::kSocketConnected), error));
            connected_ = error == 0;
            if (OnConnected)
                OnConnected(error);
        };
        inner_.OnClosed = [this] {
            r_.Dispatch(Entry(K::Dispatch, TapeCode::kSocketClosed));
            connected_ = false;
            if (OnClosed)
                OnClosed();
        };
        inner_.OnDataAvailable = [this] {
            r_.Dispatch(Entry(K::Dispatch, TapeCode::kSocketData));
            if (OnDataAvailable)
                OnDataAvailable();
        };
        inner_.OnWritable = [this] {
            r_.Dispatch(Entry(K::Dispatch, TapeCode::kSocketWritable));
            if (OnWritable)
                OnWritable();
        };
    }
    // The host is the bridge's own setting: not recorded.
    void Connect(const std::string& host, uint16_t port) override
    {
        connected_ = false;
        inner_.Connect(host, port);
    }
    void Close() override
    {
        connected_ = false;
        inner_.Close();
    }
    bool Connected() const override
    {
        const bool on = inner_.Connected();
        // What the events said, unless the socket knew better first.
        if (on != connected_)
            r_.Add(WithNumber(Entry(K::Read, TapeCode::kSocketIsConnected), on ? 1 : 0));
        return on;
    }
    bool Send(const uint8_t* data, std::size_t size) override
    {
        const bool taken = inner_.Send(data, size);
        r_.Add(WithNumber(WithBytes(Entry(K::Output, TapeCode::kBridgeSend),
                                    std::string(reinterpret_cast<const char*>(data), size)),
                          taken ? 1 : 0));
        return taken;
    }
    long Receive(uint8_t* buffer, std::size_t max) override
    {
        const long n = inner_.Receive(buffer, max);
        TapeEntry e = WithNumber(Entry(K::Read, TapeCode::kSocketReceive), double(n));
        if (n > 0)
            e = WithBytes(e, std::string(reinterpret_cast<const char*>(buffer), std::size_t(n)));
        r_.Add(e);
        return n;
    }
    void PostDataAvailable() override { inner_.PostDataAvailable(); }

private:
    SessionRecorder& r_;
    IBridgeSocket& inner_;
    bool connected_ = false;
};

class SessionRecorder::PanelBus : public IPanelBus {
public:
    PanelBus(SessionRecorder& r, IPanelBus& inner) : r_(r), inner_(inner)
    {
        r_.aircraft.assign(kAircraftSnapshotSize, '\0');
        r_.simulator.assign(kSimulatorSnapshotSize, '\0');
    }
    void Operation3() override { inner_.Operation3(); }
    void Operation11() override { inner_.Operation11(); }
    void Operation1(uint8_t* aircraft) override
    {
        inner_.Operation1(aircraft);
        Record(TapeCode::kAircraftRecord, r_.aircraft, aircraft);
    }
    void Operation9(uint8_t* simulator) override
    {
        inner_.Operation9(simulator);
        Record(TapeCode::kSimulatorRecord, r_.simulator, simulator);
    }
    void Operation4() override { inner_.Operation4(); }
    void Operation12() override { inner_.Operation12(); }

private:
    // Only the bytes that changed since the last copy.
    void Record(uint8_t code, std::string& last, const uint8_t* now)
    {
        const std::string_view fresh(reinterpret_cast<const char*>(now), last.size());
        r_.Add(WithBytes(Entry(K::Read, code), TapeDiff(last, fresh)));
        last.assign(fresh);
    }
    SessionRecorder& r_;
    IPanelBus& inner_;
};

// ---- the simulator's interface module ----

class SessionRecorder::Ipc : public IIpcTransport {
public:
    Ipc(SessionRecorder& r, IIpcTransport& inner) : r_(r), inner_(inner) {}
    uintptr_t FindTopWindow(const char* className) override
    {
        return Number(TapeCode::kIpcFind, inner_.FindTopWindow(className));
    }
    uint32_t RegisterMessageName(const char* name) override
    {
        return uint32_t(Number(TapeCode::kIpcMessage, inner_.RegisterMessageName(name)));
    }
    uint16_t AddGlobalAtom(const char* name) override
    {
        return uint16_t(Number(TapeCode::kIpcAtom, inner_.AddGlobalAtom(name)));
    }
    void DeleteGlobalAtom(uint16_t atom) override { inner_.DeleteGlobalAtom(atom); }
    Mapping CreateNamedMapping(const char* name, uint32_t size) override
    {
        const Mapping m = inner_.CreateNamedMapping(name, size);
        r_.Add(WithNumber(Entry(K::Read, TapeCode::kIpcMapping, size, m.alreadyExisted ? 1 : 0), double(m.handle)));
        if (m.handle)
            size_ = size;
        return m;
    }
    uint8_t* MapBlockView(uintptr_t mapping) override
    {
        uint8_t* view = inner_.MapBlockView(mapping);
        r_.Add(WithNumber(Entry(K::Read, TapeCode::kIpcView), view ? 1 : 0));
        if (view) {
            view_ = view;
            last_.assign(reinterpret_cast<const char*>(view), size_);
        }
        return view;
    }
    void UnmapBlockView(uint8_t* view) override
    {
        if (view == view_)
            view_ = nullptr;
        inner_.UnmapBlockView(view);
    }
    void CloseMapping(uintptr_t mapping) override { inner_.CloseMapping(mapping); }
    SendResult SendWithTimeout(uintptr_t window, uint32_t message, uintptr_t wparam, uintptr_t lparam,
                               uint32_t timeoutMs) override
    {
        // What the controller wrote into the block since the last reply,
        // then what the simulator's reply changed in it.
        std::string before;
        if (view_) {
            before.assign(reinterpret_cast<const char*>(view_), size_);
            r_.Add(WithBytes(Entry(K::Output, TapeCode::kSimulatorWrite), TapeDiff(last_, before)));
        }
        const SendResult res = inner_.SendWithTimeout(window, message, wparam, lparam, timeoutMs);
        TapeEntry e = WithNumber(Entry(K::Read, TapeCode::kIpcReply, res.lastError, res.ok ? 1 : 0), double(res.reply));
        if (view_) {
            last_.assign(reinterpret_cast<const char*>(view_), size_);
            e = WithBytes(e, TapeDiff(before, last_));
        }
        r_.Add(e);
        return res;
    }
    uint32_t CurrentProcessId() override { return uint32_t(Number(TapeCode::kIpcProcessId, inner_.CurrentProcessId())); }

private:
    uintptr_t Number(uint8_t code, uintptr_t v)
    {
        r_.Add(WithNumber(Entry(K::Read, code), double(v)));
        return v;
    }
    SessionRecorder& r_;
    IIpcTransport& inner_;
    uint8_t* view_ = nullptr;
    uint32_t size_ = 0;
    std::string last_;
};

// ---- processes, dialogs, files ----

class SessionRecorder::Process : public IProcessEnv {
public:
    Process(SessionRecorder& r, IProcessEnv& inner) : r_(r), inner_(inner) {}
    bool BridgeRunning() override
    {
        const bool on = inner_.BridgeRunning();
        r_.Add(WithNumber(Entry(K::Read, TapeCode::kBridgeRunning), on ? 1 : 0));
        return on;
    }
    void LaunchBridge() override { inner_.LaunchBridge(); }
    int KillTask(const std::string& exeName) override
    {
        const int v = inner_.KillTask(exeName);
        r_.Add(WithNumber(Entry(K::Read, TapeCode::kKillTask), v));
        return v;
    }

private:
    SessionRecorder& r_;
    IProcessEnv& inner_;
};

class SessionRecorder::Dialogs : public IDialogs {
public:
    Dialogs(SessionRecorder& r, IDialogs& inner) : r_(r), inner_(inner) {}
    DialogAnswer AskYesNoCancel(const std::string& text) override
    {
        const DialogAnswer a = inner_.AskYesNoCancel(text);
        r_.Add(WithNumber(Entry(K::Read, TapeCode::kAnswer), int(a)));
        return a;
    }
    void ShowError(const std::string& text) override { inner_.ShowError(text); }

private:
    SessionRecorder& r_;
    IDialogs& inner_;
};

class SessionRecorder::Files : public IFileSystem {
public:
    Files(SessionRecorder& r, IFileSystem& inner) : r_(r), inner_(inner) {}
    bool Exists(const std::string& path) override
    {
        const bool there = inner_.Exists(path);
        r_.Add(WithNumber(Entry(K::Read, TapeCode::kFileExists), there ? 1 : 0));
        return there;
    }
    FileRead Read(const std::string& path, std::size_t maxBytes) override
    {
        FileRead f = inner_.Read(path, maxBytes);
        // Only the settings file's text: another file (the bridge's own
        // settings) may name hosts of the network.
        TapeEntry e = WithNumber(Entry(K::Read, TapeCode::kFileRead), int(f.status));
        if (IsSettings(path) && f.status == FileRead::Status::Read) {
            e = WithBytes(e, f.bytes);
            r_.settingsText = f.bytes;
        }
        r_.Add(e);
        return f;
    }
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override
    {
        const std::string error = inner_.WriteFileAtomic(path, bytes);
        r_.Add(WithBytes(Entry(K::Read, TapeCode::kFileWrite), error.empty() ? "" : "failed"));
        if (error.empty() && IsSettings(path))
            r_.settingsText = bytes;
        return error;
    }
    std::vector<std::string> RemoveStaleTemporaries(const std::string& path) override
    {
        return inner_.RemoveStaleTemporaries(path);
    }

private:
    static bool IsSettings(const std::string& path)
    {
        std::string name = SessionRecorder::FileName(path);
        for (char& c : name)
            c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
        return name == "CONFIG.INI";
    }
    SessionRecorder& r_;
    IFileSystem& inner_;
};

// ---- the recorder ----

SessionRecorder::SessionRecorder(const Ports& inner, IRecordingSink& sink, RecordingOptions options)
    : inner_(inner),
      sink_(sink),
      options_(options),
      clock_(std::make_unique<Clock>(*this, inner.clock)),
      boards_(std::make_unique<Boards>(*this, inner.boards)),
      socket_(std::make_unique<Socket>(*this, inner.bridgeSocket)),
      panelBus_(std::make_unique<PanelBus>(*this, inner.panelBus)),
      ipc_(std::make_unique<Ipc>(*this, inner.simulator)),
      process_(std::make_unique<Process>(*this, inner.process)),
      dialogs_(std::make_unique<Dialogs>(*this, inner.dialogs)),
      files_(std::make_unique<Files>(*this, inner.files)),
      ports_{*clock_,  inner.loop, *process_, *dialogs_,  *files_, *boards_, inner.exeFolder,
             *socket_, *panelBus_, *ipc_,     inner.bridgePort, this}
{
    options_.limitBytes = std::max(options_.limitBytes, RecordingOptions::kMinLimitBytes);
    options_.flushMs = std::max<uint32_t>(options_.flushMs, 100);
    options_.chapterMs = std::max(options_.chapterMs, options_.flushMs);
    fileBytes_ = kTapeHeaderSize;
    StartChapter(true);
}

SessionRecorder::~SessionRecorder() { Flush(); }

uint32_t SessionRecorder::Now() const { return clock_->TickCount(); }

std::string SessionRecorder::FileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SessionRecorder::RepeatedCommand(uint32_t object, std::string_view what, int index, double value)
{
    auto [it, added] = lastCommand_.try_emplace({object, what, index}, value);
    if (added)
        return false;
    // Compared as bits: a NaN (after a failed command) never repeats.
    const bool same = it->second == value;
    it->second = value;
    return same;
}

bool SessionRecorder::RepeatedRead(uint8_t code, uint32_t object, int index, double value)
{
    auto [it, added] = lastRead_.try_emplace({code, object, index}, value);
    if (added)
        return false;
    const bool same = it->second == value;
    it->second = value;
    return same;
}

void SessionRecorder::StartChapter(bool sessionStart)
{
    // A chapter stands on its own: its first commands and readings are all
    // written out.
    lastCommand_.clear();
    lastRead_.clear();
    chapterStart_ = segmentStart_ = Now();
    chapters_.emplace_back();
    TapeEntry start = WithNumber(Entry(K::Keyframe, TapeCode::kStart), sessionStart ? 1 : 0);
    start.tick = Now();
    Add(start);
    if (!settingsText.empty())
        Add(WithBytes(Entry(K::Keyframe, TapeCode::kSettings), settingsText));
    for (std::size_t i = 0; i < boards.size(); ++i) {
        TapeEntry b = WithBytes(WithNumber(Entry(K::Keyframe, TapeCode::kBoard, uint32_t(i), boards[i].kind),
                                           boards[i].serial),
                                boards[i].name);
        b.threw = !boards[i].attached;
        Add(b);
    }
    if (!aircraft.empty()) {
        Add(WithBytes(Entry(K::Keyframe, TapeCode::kRecord, 0, 0), TapeDiff(std::string(aircraft.size(), '\0'), aircraft)));
        Add(WithBytes(Entry(K::Keyframe, TapeCode::kRecord, 0, 1),
                      TapeDiff(std::string(simulator.size(), '\0'), simulator)));
    }
}

void SessionRecorder::Add(TapeEntry e)
{
    if (stopped_)
        return;
    // The first entry after a flush between events opens a segment that
    // goes on with its chapter.
    const bool opens = e.kind == K::Keyframe && (e.code == TapeCode::kStart || e.code == TapeCode::kContinue);
    if (segment_.empty() && headerWritten_ && !opens)
        EncodeEntry(Entry(K::Keyframe, TapeCode::kContinue), lastTick_, segment_);
    EncodeEntry(e, lastTick_, segment_);
    ++entries_;
}

void SessionRecorder::Dispatch(TapeEntry e)
{
    const uint32_t now = clock_->Latch();
    if (stopped_)
        return;
    // Segments and chapters change between events, never inside one.
    if (uint32_t(now - segmentStart_) >= options_.flushMs) {
        EndSegment();
        if (uint32_t(now - chapterStart_) >= options_.chapterMs)
            StartChapter(false);
        else {
            segmentStart_ = now;
            Add(Entry(K::Keyframe, TapeCode::kContinue));
        }
    }
    e.tick = now;
    Add(e);
}

void SessionRecorder::TimerEvent(TimerId id) { Dispatch(Entry(K::Dispatch, TapeCode::kTimer, 0, int(id))); }

void SessionRecorder::UserAction(const std::string& action)
{
    Dispatch(WithBytes(Entry(K::Dispatch, TapeCode::kAction), action));
}

void SessionRecorder::Lifecycle(Life step)
{
    Dispatch(Entry(K::Dispatch, TapeCode::kLifecycle, 0, int(step)));
}

void SessionRecorder::EndSegment()
{
    if (stopped_ || segment_.empty())
        return;
    const std::string framed = FrameSegment(segment_);
    segment_.clear();
    lastTick_ = 0;
    Write(framed);
}

void SessionRecorder::Write(const std::string& framed)
{
    chapters_.back() += framed;
    fileBytes_ += framed.size();
    // Over the limit: the oldest chapters go, whole, and the file is written
    // again from what is kept (a quarter of the limit is freed, so this
    // happens seldom).
    if (fileBytes_ > options_.limitBytes && chapters_.size() > 1) {
        while (chapters_.size() > 1 && fileBytes_ > options_.limitBytes / 4 * 3) {
            fileBytes_ -= chapters_.front().size();
            chapters_.pop_front();
        }
        std::string file = TapeHeader();
        for (const std::string& c : chapters_)
            file += c;
        headerWritten_ = true;
        if (const std::string error = sink_.Replace(file); !error.empty())
            Stop(error);
        return;
    }
    const std::string bytes = headerWritten_ ? framed : TapeHeader() + framed;
    headerWritten_ = true;
    if (const std::string error = sink_.Append(bytes); !error.empty())
        Stop(error);
}

void SessionRecorder::Flush() { EndSegment(); }

void SessionRecorder::Stop(const std::string& why)
{
    if (stopped_)
        return;
    stopped_ = true;
    segment_.clear();
    chapters_.clear();
    if (log_)
        log_("Recording stopped: " + why + "; the controller goes on without it");
}

} // namespace zrk
