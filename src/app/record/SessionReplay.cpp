#include "app/record/SessionReplay.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <deque>
#include <map>
#include <memory>
#include <tuple>
#include <type_traits>
#include <vector>

#include "app/TForm1.h"
#include "app/record/Tape.h"
#include "boards/BoardManager.h"
#include "bridge/UpdateRecord.h"
#include "config/MemoryFileSystem.h"

namespace zrk {

namespace {

using K = TapeEntry::Kind;
constexpr const char* kFolder = "/replay";

std::string Number(double v)
{
    char buf[40];
    if (v == std::trunc(v) && std::fabs(v) < 1e15)
        std::snprintf(buf, sizeof buf, "%.0f", v);
    else
        std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// An output in words, for a difference's report.
std::string Describe(const TapeEntry& e)
{
    switch (e.code) {
    case TapeCode::kBoardCommand:
        return "board #" + std::to_string(e.object) + " " + e.bytes + "[" + std::to_string(e.index)
               + "]=" + Number(e.number) + (e.threw ? " (failed)" : "");
    case TapeCode::kBridgeSend:
        return "bridge " + (e.bytes.size() == kRecordSize
                                ? RecordText(reinterpret_cast<const uint8_t*>(e.bytes.data()))
                                : std::to_string(e.bytes.size()) + " bytes");
    case TapeCode::kSimulatorWrite: return "simulator write of " + std::to_string(e.bytes.size()) + " bytes of changes";
    default: return "output " + std::to_string(e.code);
    }
}

bool SameOutput(const TapeEntry& a, const TapeEntry& b)
{
    // A message's number says whether the socket took it: a reading, not
    // part of what the controller made.
    if (a.code == TapeCode::kBridgeSend)
        return b.code == a.code && a.bytes == b.bytes;
    const bool sameNumber = a.hasNumber == b.hasNumber
                            && (!a.hasNumber || a.number == b.number || (std::isnan(a.number) && std::isnan(b.number)));
    return a.code == b.code && a.object == b.object && a.index == b.index && a.bytes == b.bytes && sameNumber;
}

class Player;
struct World;
class TwinLibrary;

// ---- the world outside the controller, as recorded ----

class ReplayClock : public IClock {
public:
    explicit ReplayClock(Player& p) : p_(p) {}
    uint32_t TickCount() override { return tick + slept; }
    void Sleep(uint32_t ms) override { slept += ms; }
    LocalTime Now() override;
    uint32_t tick = 0, slept = 0;

private:
    Player& p_;
};

class ReplayLoop : public IEventLoop {
public:
    void SetTimer(TimerId, bool, uint32_t) override {}
    void Post(std::function<void()> fn) override { posted.push_back(std::move(fn)); }
    void Terminate() override { terminated = true; }
    void Minimize() override {}
    std::deque<std::function<void()>> posted;
    bool terminated = false;
};

class Player {
public:
    Player(std::string_view file, const ReplayOptions& options);
    ReplayReport Run();

    // A value the controller reads: the next one recorded for it in this
    // event, if any.
    std::optional<TapeEntry> Take(uint8_t code, uint32_t object = 0, int32_t index = 0);
    // An output the controller makes; returns the recorded one it matched.
    std::optional<TapeEntry> Output(const TapeEntry& made);
    // Runs recorded events while a modal question waits for its answer.
    bool RunNested();
    uint32_t Elapsed() const { return uint32_t(clock.tick + clock.slept - startTick_); }
    void Emit(const std::string& what);
    bool Failed() const { return !report_.difference.empty(); }

    ReplayClock clock{*this};
    ReplayLoop loop;
    MemoryFileSystem files;
    struct BoardTwin;
    std::vector<BoardTwin*> boards;      // in the order the controller made them
    struct KeyBoard {
        int kind = 0, serial = 0;
        std::string name;
        bool attached = false;
    };
    std::vector<KeyBoard> keyBoards;     // from the first keyframe
    bool socketConnected = false;
    std::string aircraft = std::string(kAircraftSnapshotSize, '\0');
    std::string simulator = std::string(kSimulatorSnapshotSize, '\0');

private:
    using Key = std::tuple<uint8_t, uint32_t, int32_t>;
    static Key KeyOf(uint8_t code, uint32_t object, int32_t index);
    static Key KeyOf(const TapeEntry& e) { return KeyOf(e.code, e.object, e.index); }
    // Runs what the controller's adapters posted during the last event.
    void RunPosted();
    void Load();   // the entries of the event about to run, up to the next event
    void Perform(const TapeEntry& e, bool startsChapter);
    void Action(const std::string& text);
    void Difference(const std::string& what);

    const ReplayOptions& options_;
    std::string_view file_;
    TapeReader reader_;
    World* world_ = nullptr;
    TwinLibrary* board_ = nullptr;
    // The last value of each board command shown in the trace, and made
    // (a repeat is not in the recording; a new chapter starts afresh).
    std::map<std::tuple<uint32_t, std::string, int>, double> shown_, made_;
    // The next event opens a new chapter (a keyframe came before it).
    bool nextStartsChapter_ = false;
    std::optional<TapeEntry> next_;   // the next event
    std::map<Key, std::deque<TapeEntry>> reads_;
    std::deque<TapeEntry> outputs_;
    std::unique_ptr<TForm1> form_;
    uint32_t startTick_ = 0;
    bool comparing_ = true;
    ReplayReport report_;
    friend class ReplayClock;
};

LocalTime ReplayClock::Now()
{
    LocalTime t{12, 0, 0};
    if (const auto e = p_.Take(TapeCode::kLocalTime)) {
        const int s = int(e->number);
        t = {(s / 3600) % 24, (s / 60) % 60, s % 60};
    }
    return t;
}

// ---- boards ----

struct Player::BoardTwin {
    Player& p;
    uint32_t object;
    int openedSerial = 0;
    int serial = 0;
    std::string name;
    bool attached = false;
    std::map<std::pair<uint8_t, int>, double> last;   // the last value read, by what and index

    BoardTwin(Player& player, uint32_t n) : p(player), object(n)
    {
        if (n < p.keyBoards.size()) {
            serial = p.keyBoards[n].serial;
            name = p.keyBoards[n].name;
        }
    }
    void Command(const char* what, int index, double value)
    {
        TapeEntry e;
        e.kind = K::Output;
        e.code = TapeCode::kBoardCommand;
        e.object = object;
        e.index = index;
        e.hasNumber = true;
        e.number = value;
        e.hasBytes = true;
        e.bytes = what;
        const auto recorded = p.Output(e);
        if (recorded && recorded->threw)
            throw BoardError(std::string("board failed (recorded): ") + what);
    }
    double Read(uint8_t code, int index)
    {
        if (const auto e = p.Take(code, object, index)) {
            if (e->threw)
                throw BoardError("board read failed (recorded)");
            last[{code, index}] = e->number;
            return e->number;
        }
        const auto it = last.find({code, index});
        return it == last.end() ? 0.0 : it->second;
    }
    void Identity()
    {
        if (const auto s = p.Take(TapeCode::kBoardSerial, object))
            serial = int(s->number);
        if (const auto n = p.Take(TapeCode::kBoardName, object))
            name = n->bytes;
    }
    bool IsAttached()
    {
        if (const auto e = p.Take(TapeCode::kBoardAttached, object)) {
            if (e->threw)
                throw BoardError("board failed (recorded)");
            return e->number != 0;
        }
        return attached;
    }
};

template <class Interface>
class TwinBoard : public Interface {
public:
    TwinBoard(Player& p, BoardKind kind) : kind_(kind), twin_(p, uint32_t(p.boards.size()))
    {
        p.boards.push_back(&twin_);
        attachFn = [this] {
            twin_.attached = true;
            twin_.Identity();
            if (this->OnAttach)
                this->OnAttach();
        };
        detachFn = [this] {
            twin_.attached = false;
            if (this->OnDetach)
                this->OnDetach();
        };
    }
    ~TwinBoard() override
    {
        for (auto*& b : twin_.p.boards)
            if (b == &twin_)
                b = nullptr;
    }
    BoardKind Kind() const override { return kind_; }
    void Open(int serial) override
    {
        twin_.Command("open", 0, serial);
        twin_.openedSerial = serial;
        // Started from a keyframe: a board that was attached then attaches
        // again once opened.
        Player& p = twin_.p;
        if (twin_.object < p.keyBoards.size() && p.keyBoards[twin_.object].attached && !twin_.attached)
            p.loop.Post(attachFn);
    }
    void OpenRemote(const std::string&, int port, int serial, const std::string&) override
    {
        twin_.Command("open_remote", port, serial);
        twin_.openedSerial = serial;
    }
    void Close() override { twin_.Command("close", 0, 0); }
    std::string DeviceName() override
    {
        twin_.Identity();
        return twin_.name;
    }
    int SerialNumber() override
    {
        twin_.Identity();
        return twin_.serial != 0 ? twin_.serial : twin_.openedSerial;
    }
    bool Attached() override { return twin_.IsAttached(); }

    Player::BoardTwin& Twin() { return twin_; }
    std::function<void()> attachFn, detachFn;

protected:
    BoardKind kind_;
    Player::BoardTwin twin_;
};

class TwinKit : public TwinBoard<IInterfaceKit> {
public:
    explicit TwinKit(Player& p) : TwinBoard(p, BoardKind::InterfaceKit) {}
    void SetRatiometric(bool on) override { twin_.Command("ratiometric", 0, on); }
    void SetSensorChangeTrigger(int input, int trigger) override { twin_.Command("trigger", input, trigger); }
    int OutputCount() override { return int(twin_.Read(TapeCode::kBoardOutputs, 0)); }
    void SetOutputState(int output, bool on) override { twin_.Command("output", output, on); }
};

class TwinMotors : public TwinBoard<IMotorControl> {
public:
    explicit TwinMotors(Player& p) : TwinBoard(p, BoardKind::MotorControl) {}
    void SetVelocity(int motor, double percent) override { twin_.Command("velocity", motor, percent); }
    double Velocity(int motor) override { return twin_.Read(TapeCode::kBoardVelocity, motor); }
    void SetAcceleration(int motor, double value) override { twin_.Command("acceleration", motor, value); }
    double Current(int motor) override { return twin_.Read(TapeCode::kBoardCurrent, motor); }
};

template <class Interface>
class TwinServoBase : public TwinBoard<Interface> {
public:
    TwinServoBase(Player& p, BoardKind kind) : TwinBoard<Interface>(p, kind) {}
    void SetPosition(int servo, double degrees) override { this->twin_.Command("position", servo, degrees); }
    double Position(int servo) override { return this->twin_.Read(TapeCode::kBoardPosition, servo); }
    void SetEngaged(int servo, bool on) override { this->twin_.Command("engaged", servo, on); }
};

class TwinServo : public TwinServoBase<IServo> {
public:
    explicit TwinServo(Player& p) : TwinServoBase(p, BoardKind::Servo) {}
};

class TwinAdvancedServo : public TwinServoBase<IAdvancedServo> {
public:
    explicit TwinAdvancedServo(Player& p) : TwinServoBase(p, BoardKind::AdvancedServo) {}
    void SetPositionMin(int servo, double d) override { twin_.Command("position_min", servo, d); }
    void SetPositionMax(int servo, double d) override { twin_.Command("position_max", servo, d); }
    void SetSpeedRamping(int servo, bool on) override { twin_.Command("ramping", servo, on); }
    void SetVelocityLimit(int servo, double l) override { twin_.Command("velocity_limit", servo, l); }
};

class TwinLibrary : public IBoardLibrary {
public:
    explicit TwinLibrary(Player& p) : p_(p) {}
    std::unique_ptr<IInterfaceKit> CreateInterfaceKit() override { return Made(std::make_unique<TwinKit>(p_)); }
    std::unique_ptr<IMotorControl> CreateMotorControl() override { return Made(std::make_unique<TwinMotors>(p_)); }
    std::unique_ptr<IAdvancedServo> CreateAdvancedServo() override
    {
        return Made(std::make_unique<TwinAdvancedServo>(p_));
    }
    std::unique_ptr<IServo> CreateServo() override { return Made(std::make_unique<TwinServo>(p_)); }
    std::unique_ptr<IBoardManager> CreateManager() override { return std::make_unique<UnavailableBoardManager>(); }

    // The events of board n, handed over.
    std::vector<std::function<void()>> attach, detach;
    std::vector<std::function<void(int, int)>> sensor;
    std::vector<std::function<void(int, bool)>> input;

private:
    template <class T>
    std::unique_ptr<T> Made(std::unique_ptr<T> b)
    {
        p_.Take(TapeCode::kBoardMade, b->Twin().object, int(b->Kind()));
        T* raw = b.get();
        attach.push_back([raw] { raw->attachFn(); });
        detach.push_back([raw] { raw->detachFn(); });
        sensor.resize(attach.size());
        input.resize(attach.size());
        if constexpr (std::is_same_v<T, TwinKit>) {
            sensor.back() = [raw](int i, int v) {
                if (raw->OnSensorChange)
                    raw->OnSensorChange(i, v);
            };
            input.back() = [raw](int i, bool v) {
                if (raw->OnInputChange)
                    raw->OnInputChange(i, v);
            };
        }
        return b;
    }
    Player& p_;
};

// ---- the bridge, the simulator, processes, dialogs, files ----

class TwinSocket : public IBridgeSocket {
public:
    explicit TwinSocket(Player& p) : p_(p) {}
    void Connect(const std::string&, uint16_t) override { p_.socketConnected = false; }
    void Close() override { p_.socketConnected = false; }
    bool Connected() const override
    {
        if (const auto e = p_.Take(TapeCode::kSocketIsConnected))
            return e->number != 0;
        return p_.socketConnected;
    }
    bool Send(const uint8_t* data, std::size_t size) override
    {
        TapeEntry e;
        e.kind = K::Output;
        e.code = TapeCode::kBridgeSend;
        e.hasBytes = true;
        e.bytes.assign(reinterpret_cast<const char*>(data), size);
        const auto recorded = p_.Output(e);
        return recorded ? recorded->number != 0 : p_.socketConnected;
    }
    long Receive(uint8_t* buffer, std::size_t max) override
    {
        const auto e = p_.Take(TapeCode::kSocketReceive);
        if (!e)
            return 0;
        const std::size_t n = std::min(e->bytes.size(), max);
        std::memcpy(buffer, e->bytes.data(), n);
        return e->number < 0 ? -1 : long(n);
    }
    void PostDataAvailable() override {}

private:
    Player& p_;
};

class TwinPanelBus : public IPanelBus {
public:
    explicit TwinPanelBus(Player& p) : p_(p) {}
    void Operation3() override {}
    void Operation11() override {}
    void Operation1(uint8_t* aircraft) override { Fill(TapeCode::kAircraftRecord, p_.aircraft, aircraft); }
    void Operation9(uint8_t* simulator) override { Fill(TapeCode::kSimulatorRecord, p_.simulator, simulator); }
    void Operation4() override {}
    void Operation12() override {}

private:
    void Fill(uint8_t code, std::string& record, uint8_t* out)
    {
        if (const auto e = p_.Take(code))
            ApplyTapeDiff(record, e->bytes);
        std::memcpy(out, record.data(), record.size());
    }
    Player& p_;
};

class TwinIpc : public IIpcTransport {
public:
    explicit TwinIpc(Player& p) : p_(p) {}
    uintptr_t FindTopWindow(const char*) override { return Value(TapeCode::kIpcFind); }
    uint32_t RegisterMessageName(const char*) override { return uint32_t(Value(TapeCode::kIpcMessage)); }
    uint16_t AddGlobalAtom(const char*) override { return uint16_t(Value(TapeCode::kIpcAtom)); }
    void DeleteGlobalAtom(uint16_t) override {}
    Mapping CreateNamedMapping(const char*, uint32_t size) override
    {
        Mapping m;
        if (const auto e = p_.Take(TapeCode::kIpcMapping)) {
            m.handle = uintptr_t(e->number);
            m.alreadyExisted = e->index != 0;
        }
        if (m.handle)
            block_.assign(size, 0);
        return m;
    }
    uint8_t* MapBlockView(uintptr_t) override
    {
        const auto e = p_.Take(TapeCode::kIpcView);
        if (!e || e->number == 0 || block_.empty())
            return nullptr;
        last_.assign(block_.begin(), block_.end());
        return block_.data();
    }
    void UnmapBlockView(uint8_t*) override {}
    void CloseMapping(uintptr_t) override {}
    SendResult SendWithTimeout(uintptr_t, uint32_t, uintptr_t, uintptr_t, uint32_t) override
    {
        const std::string before(block_.begin(), block_.end());
        if (!block_.empty()) {
            TapeEntry w;
            w.kind = K::Output;
            w.code = TapeCode::kSimulatorWrite;
            w.hasBytes = true;
            w.bytes = TapeDiff(last_, before);
            p_.Output(w);
        }
        SendResult r;
        if (const auto e = p_.Take(TapeCode::kIpcReply)) {
            r.ok = e->index != 0;
            r.lastError = e->object;
            r.reply = uintptr_t(e->number);
            std::string block = before;
            if (!block_.empty() && ApplyTapeDiff(block, e->bytes) && block.size() == block_.size())
                std::memcpy(block_.data(), block.data(), block.size());
        }
        last_.assign(block_.begin(), block_.end());
        return r;
    }
    uint32_t CurrentProcessId() override { return uint32_t(Value(TapeCode::kIpcProcessId)); }

private:
    uintptr_t Value(uint8_t code)
    {
        const auto e = p_.Take(code);
        return e ? uintptr_t(e->number) : 0;
    }
    Player& p_;
    std::vector<uint8_t> block_;
    std::string last_;
};

class TwinProcess : public IProcessEnv {
public:
    explicit TwinProcess(Player& p) : p_(p) {}
    bool BridgeRunning() override
    {
        const auto e = p_.Take(TapeCode::kBridgeRunning);
        return !e || e->number != 0;
    }
    void LaunchBridge() override {}
    int KillTask(const std::string&) override
    {
        const auto e = p_.Take(TapeCode::kKillTask);
        return e ? int(e->number) : 0;
    }

private:
    Player& p_;
};

class TwinDialogs : public IDialogs {
public:
    explicit TwinDialogs(Player& p) : p_(p) {}
    DialogAnswer AskYesNoCancel(const std::string& text) override
    {
        p_.Emit("note question " + text);
        // While the question was open, the program went on handling events.
        std::optional<TapeEntry> e;
        while (!(e = p_.Take(TapeCode::kAnswer)) && p_.RunNested()) {
        }
        return e ? DialogAnswer(std::clamp(int(e->number), 0, 2)) : DialogAnswer::Cancel;
    }
    void ShowError(const std::string& text) override { p_.Emit("note error " + text); }

private:
    Player& p_;
};

class TwinFiles : public IFileSystem {
public:
    TwinFiles(Player& p) : p_(p) {}
    bool Exists(const std::string& path) override
    {
        if (const auto e = p_.Take(TapeCode::kFileExists))
            return e->number != 0;
        return p_.files.Exists(path);
    }
    FileRead Read(const std::string& path, std::size_t maxBytes) override
    {
        if (const auto e = p_.Take(TapeCode::kFileRead)) {
            FileRead f;
            f.status = FileRead::Status(std::clamp(int(e->number), 0, 2));
            if (f.status == FileRead::Status::Read && e->hasBytes)
                f.bytes = e->bytes;
            else if (f.status == FileRead::Status::Read)
                f.status = FileRead::Status::Missing;   // another file than the settings: not recorded
            else if (f.status == FileRead::Status::Refused)
                f.problem = path + " was refused when recorded";
            return f;
        }
        return p_.files.Read(path, maxBytes);
    }
    std::string WriteFileAtomic(const std::string& path, const std::string& bytes) override
    {
        const auto e = p_.Take(TapeCode::kFileWrite);
        if (e && !e->bytes.empty())
            return e->bytes;
        return p_.files.WriteFileAtomic(path, bytes);
    }
    std::vector<std::string> RemoveStaleTemporaries(const std::string&) override { return {}; }

private:
    Player& p_;
};

// ---- the player ----

struct World {
    Player& p;
    TwinLibrary boards{p};
    TwinSocket socket{p};
    TwinPanelBus panelBus{p};
    TwinIpc ipc{p};
    TwinProcess process{p};
    TwinDialogs dialogs{p};
    TwinFiles files{p};
    Ports MakePorts()
    {
        return Ports{p.clock, p.loop, process, dialogs, files, boards, kFolder, socket, panelBus, ipc};
    }
};

Player::Player(std::string_view file, const ReplayOptions& options) : options_(options), file_(file), reader_(file)
{
}

Player::Key Player::KeyOf(uint8_t code, uint32_t object, int32_t index)
{
    // Board readings are kept apart per board and index; any other reading
    // by its kind alone.
    const bool perBoard = code >= TapeCode::kBoardVelocity && code <= TapeCode::kBoardMade
                          && code != TapeCode::kSocketIsConnected;
    return perBoard ? Key{code, object, index} : Key{code, 0, 0};
}

void Player::RunPosted()
{
    while (!loop.posted.empty()) {
        auto fn = std::move(loop.posted.front());
        loop.posted.pop_front();
        fn();
    }
}

std::optional<TapeEntry> Player::Take(uint8_t code, uint32_t object, int32_t index)
{
    const auto it = reads_.find(KeyOf(code, object, index));
    if (it == reads_.end() || it->second.empty())
        return std::nullopt;
    TapeEntry e = std::move(it->second.front());
    it->second.pop_front();
    return e;
}

void Player::Difference(const std::string& what)
{
    if (report_.difference.empty()) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "at %u ms: ", Elapsed());
        report_.difference = stamp + what;
    }
}

std::optional<TapeEntry> Player::Output(const TapeEntry& made)
{
    // The usual trace: a board command repeated with the same value shows once.
    if (options_.trace) {
        if (made.code == TapeCode::kBoardCommand) {
            const auto key = std::make_tuple(made.object, made.bytes, made.index);
            const auto it = shown_.find(key);
            if (it == shown_.end() || it->second != made.number) {
                shown_[key] = made.number;
                const BoardTwin* b = made.object < boards.size() ? boards[made.object] : nullptr;
                const int serial = b ? (b->serial ? b->serial : b->openedSerial) : 0;
                Emit("board " + std::to_string(serial) + " " + made.bytes + "[" + std::to_string(made.index)
                     + "]=" + Number(made.number));
            }
        } else if (made.code == TapeCode::kBridgeSend) {
            Emit(Describe(made));
        }
    }
    std::optional<TapeEntry> recorded;
    if (made.code == TapeCode::kBoardCommand) {
        const auto key = std::make_tuple(made.object, made.bytes, made.index);
        const auto it = made_.find(key);
        const bool repeat = it != made_.end() && it->second == made.number;
        // The recording holds a command that failed, repeat or not; after
        // it, the same value is written again.
        const bool failed = !outputs_.empty() && outputs_.front().threw && SameOutput(outputs_.front(), made);
        if (repeat && !failed)
            return std::nullopt;
        made_[key] = failed ? std::numeric_limits<double>::quiet_NaN() : made.number;
    }
    if (!outputs_.empty()) {
        recorded = std::move(outputs_.front());
        outputs_.pop_front();
    }
    if (!options_.check || !comparing_ || Failed())
        return recorded;
    ++report_.outputsCompared;
    if (!recorded)
        Difference("the replay made " + Describe(made) + ", the recording made nothing more in that event");
    else if (!SameOutput(*recorded, made))
        Difference("the recording made " + Describe(*recorded) + ", the replay made " + Describe(made));
    return recorded;
}

void Player::Emit(const std::string& what)
{
    if (!options_.trace)
        return;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%9u ", Elapsed());
    options_.trace(stamp + what);
}

void Player::Load()
{
    TapeEntry e;
    next_.reset();
    bool chapter = false;
    while (reader_.Next(e)) {
        switch (e.kind) {
        case K::Dispatch:
            next_ = std::move(e);
            nextStartsChapter_ = chapter;
            return;
        case K::Read: reads_[KeyOf(e)].push_back(std::move(e)); break;
        case K::Output: outputs_.push_back(std::move(e)); break;
        case K::Keyframe:
            // A later chapter's start: the replay goes on from where it is,
            // and the recording's repeats start afresh after this event.
            if (e.code == TapeCode::kStart)
                chapter = true;
            break;
        }
    }
}

void Player::Action(const std::string& text)
{
    const std::size_t sp = text.find(' ');
    const std::string verb = text.substr(0, sp);
    const std::string rest = sp == std::string::npos ? "" : text.substr(sp + 1);
    const std::size_t sp2 = rest.find(' ');
    const std::string name = rest.substr(0, sp2);
    const std::string arg = sp2 == std::string::npos ? "" : rest.substr(sp2 + 1);
    const auto number = [&](const std::string& s) {
        char* end = nullptr;
        const long v = std::strtol(s.c_str(), &end, 10);
        return int(std::clamp<long>(v, INT32_MIN, INT32_MAX));
    };
    if (verb == "click")
        form_->Click(rest);
    else if (verb == "trackbar")
        form_->SetTrackBar(number(name), number(arg));
    else if (verb == "updown")
        form_->SetUpDown(name, number(arg));
    else if (verb == "edit")
        form_->SetEdit(name, arg);
    else if (verb == "check")
        form_->SetCheck(name, arg == "1");
    else if (verb == "radio")
        form_->SelectRadio(name, number(arg));
}

void Player::Perform(const TapeEntry& e, bool startsChapter)
{
    if (startsChapter)
        made_.clear();
    clock.tick = e.tick;
    clock.slept = 0;
    ++report_.events;
    auto* lib = board_;
    const auto boardEvent = [&](auto& handlers, auto&&... args) {
        if (e.object < handlers.size() && handlers[e.object])
            handlers[e.object](args...);
    };
    switch (e.code) {
    case TapeCode::kTimer:
        if (e.index >= 0 && e.index < kTimerCount)
            form_->OnTimer(TimerId(e.index));
        break;
    case TapeCode::kBoardAttach: boardEvent(lib->attach); break;
    case TapeCode::kBoardDetach: boardEvent(lib->detach); break;
    case TapeCode::kSensorChange: boardEvent(lib->sensor, int(e.index), int(e.number)); break;
    case TapeCode::kInputChange: boardEvent(lib->input, int(e.index), e.number != 0); break;
    case TapeCode::kSocketConnected:
        socketConnected = e.number == 0;
        if (world_->socket.OnConnected)
            world_->socket.OnConnected(int(e.number));
        break;
    case TapeCode::kSocketClosed:
        socketConnected = false;
        if (world_->socket.OnClosed)
            world_->socket.OnClosed();
        break;
    case TapeCode::kSocketData:
        if (world_->socket.OnDataAvailable)
            world_->socket.OnDataAvailable();
        break;
    case TapeCode::kSocketWritable:
        if (world_->socket.OnWritable)
            world_->socket.OnWritable();
        break;
    case TapeCode::kAction: Action(e.bytes); break;
    case TapeCode::kLifecycle:
        switch (e.index) {
        case 0: form_->FormCreate(); break;
        case 1: form_->FormCloseQuery(); break;
        case 2: form_->FormClose(); break;
        default: form_->FormDestroy(); break;
        }
        break;
    default: break;
    }
}

bool Player::RunNested()
{
    if (!next_ || Failed())
        return false;
    const TapeEntry e = std::move(*next_);
    const bool chapter = nextStartsChapter_;
    Load();
    Perform(e, chapter);
    return true;
}

ReplayReport Player::Run()
{
    // The whole file first: a replay never starts on one it cannot finish.
    if (const std::string error = TapeReader::Validate(file_); !error.empty()) {
        report_.error = error;
        return report_;
    }
    // The first chapter's keyframe.
    TapeEntry e;
    if (!reader_.Next(e)) {
        report_.error = reader_.Error();
        return report_;
    }
    report_.startDropped = e.number == 0;
    startTick_ = clock.tick = e.tick;
    std::string settings;
    while (!next_) {
        if (!reader_.Next(e))
            break;
        if (e.kind == K::Keyframe && e.code == TapeCode::kSettings)
            settings = e.bytes;
        else if (e.kind == K::Keyframe && e.code == TapeCode::kBoard)
            keyBoards.push_back({e.index, int(e.number), e.bytes, !e.threw});
        else if (e.kind == K::Keyframe && e.code == TapeCode::kRecord)
            ApplyTapeDiff(e.index == 0 ? aircraft : simulator, e.bytes);
        else if (e.kind == K::Read)
            reads_[KeyOf(e)].push_back(e);
        else if (e.kind == K::Output)
            outputs_.push_back(e);
        else if (e.kind == K::Dispatch)
            next_ = e;
    }
    if (!settings.empty())
        files.Put(std::string(kFolder) + "/CONFIG.INI", settings);
    if (report_.startDropped && options_.check) {
        report_.error = "the recording's oldest part was dropped (it was longer than its limit): its outputs "
                        "cannot be compared with a replay that starts afresh; replay it without --check";
        return report_;
    }

    World world{*this};
    world_ = &world;
    board_ = &world.boards;
    form_ = std::make_unique<TForm1>(world.MakePorts());
    form_->Memo1.OnLine = [this](const std::string& l) { Emit("log " + l); };
    if (report_.startDropped) {
        // No start in the file: the controller starts afresh at the first
        // kept event, on the settings and boards of that moment.
        comparing_ = false;
        form_->FormCreate();
        RunPosted();
    }
    while (next_ && !Failed() && !loop.terminated) {
        if (options_.untilMs && uint32_t(next_->tick - startTick_) > *options_.untilMs)
            break;
        const TapeEntry d = std::move(*next_);
        const bool chapter = nextStartsChapter_;
        Load();
        Perform(d, chapter);
        RunPosted();
        // What the recording made in that event and the replay did not.
        if (options_.check && comparing_ && !Failed() && !outputs_.empty())
            Difference("the recording made " + Describe(outputs_.front()) + ", the replay made nothing more in that event");
        outputs_.clear();
        report_.elapsedMs = Elapsed();
    }
    if (!reader_.Error().empty() && report_.error.empty())
        report_.error = reader_.Error();
    // The end: a recording that stops without the controller's end (the
    // program was killed, or --until) ends the replay's controller without
    // comparing what that makes.
    comparing_ = false;
    if (!form_->Destroyed()) {
        form_->FormClose();
        form_->FormDestroy();
    }
    form_.reset();
    world_ = nullptr;
    return report_;
}

} // namespace

ReplayReport ReplaySession(std::string_view file, const ReplayOptions& options)
{
    Player p(file, options);
    return p.Run();
}

} // namespace zrk
