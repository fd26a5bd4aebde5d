#include "boards/Phidget21Library.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "boards/BoardManager.h"
#include "boards/Phidget21Api.h"

namespace zrk {

using namespace phidget21;

struct Phidget21BoardLibrary::Bound {
    std::unique_ptr<IDynamicLibrary> library;
    Api api{};
    // Indexed by BoardKind: every function the kind needs was found.
    bool supports[4] = {};
    // Every function the list of attached boards needs was found.
    bool manager = false;
};

namespace {

using Bound = Phidget21BoardLibrary::Bound;
using LogFn = Phidget21BoardLibrary::LogFn;

// ---- binding ----

unsigned Bit(BoardKind kind) { return 1u << unsigned(kind); }
constexpr unsigned kEveryKind = 0xF;
constexpr unsigned kNoKind = 0;

// The bytes a 32-bit __stdcall function takes off the stack, which its
// decorated name ends with: every argument in 4-byte slots.
template <class T>
constexpr int StackBytes()
{
    return std::is_pointer_v<T> ? 4 : int((sizeof(T) + 3) / 4 * 4);
}
template <class Fn>
struct Decoration;
template <class R, class... Args>
struct Decoration<R(ZRK_PHIDGET_CALL*)(Args...)> {
    static constexpr int bytes = (0 + ... + StackBytes<Args>());
};

std::string Consequence(unsigned needs)
{
    switch (needs) {
    case kEveryKind: return "no board can attach";
    case 1u << unsigned(BoardKind::InterfaceKit): return "interface kits stay idle";
    case 1u << unsigned(BoardKind::MotorControl): return "motor controllers stay idle";
    case 1u << unsigned(BoardKind::AdvancedServo): return "advanced servo boards stay idle";
    case 1u << unsigned(BoardKind::Servo): return "servo boards stay idle";
    }
    return "some boards stay idle";
}

class Binder {
public:
    Binder(IDynamicLibrary& library, const LogFn& log) : library_(library), log_(log) {}

    // Looks `name` up, plain first, then with the decorations of 32-bit
    // __stdcall exports. A missing function is logged and takes the kinds
    // in `needs` out of service; `consequence` tells what it means for a
    // function no kind needs.
    template <class Fn>
    void operator()(Fn& slot, const char* name, unsigned needs, const char* consequence = nullptr)
    {
        const std::string plain = name;
        const std::string bytes = "@" + std::to_string(Decoration<Fn>::bytes);
        IDynamicLibrary::Function found = library_.Find(plain);
        if (!found)
            found = library_.Find("_" + plain + bytes);
        if (!found)
            found = library_.Find(plain + bytes);
        slot = reinterpret_cast<Fn>(found);
        if (found)
            return;
        missing |= needs;
        if (collect) {
            collect->push_back(plain);
            return;
        }
        if (log_)
            log_("Board library " + library_.Path() + " has no function " + plain + " - "
                 + (consequence ? consequence : Consequence(needs)));
    }

    unsigned missing = 0;
    // When set, missing functions are gathered here instead of logged one
    // by one, for a group that is told of in one line.
    std::vector<std::string>* collect = nullptr;

private:
    IDynamicLibrary& library_;
    const LogFn& log_;
};

#define ZRK_BIND(needs, fn, ...) bind(api.fn, #fn, needs __VA_OPT__(, ) __VA_ARGS__)

void BindAll(Bound& b, const LogFn& log)
{
    Api& api = b.api;
    Binder bind(*b.library, log);
    const unsigned kit = Bit(BoardKind::InterfaceKit), motor = Bit(BoardKind::MotorControl),
                   advanced = Bit(BoardKind::AdvancedServo), servo = Bit(BoardKind::Servo);

    ZRK_BIND(kEveryKind, CPhidget_open);
    ZRK_BIND(kEveryKind, CPhidget_openRemoteIP);
    ZRK_BIND(kEveryKind, CPhidget_close);
    ZRK_BIND(kEveryKind, CPhidget_delete);
    ZRK_BIND(kEveryKind, CPhidget_getDeviceName);
    ZRK_BIND(kEveryKind, CPhidget_getSerialNumber);
    ZRK_BIND(kEveryKind, CPhidget_getDeviceStatus);
    ZRK_BIND(kEveryKind, CPhidget_set_OnAttach_Handler);
    ZRK_BIND(kEveryKind, CPhidget_set_OnDetach_Handler);
    ZRK_BIND(kNoKind, CPhidget_getErrorDescription, "errors are reported by number");

    ZRK_BIND(kit, CPhidgetInterfaceKit_create);
    ZRK_BIND(kit, CPhidgetInterfaceKit_setRatiometric);
    ZRK_BIND(kit, CPhidgetInterfaceKit_setSensorChangeTrigger);
    ZRK_BIND(kit, CPhidgetInterfaceKit_getOutputCount);
    ZRK_BIND(kit, CPhidgetInterfaceKit_setOutputState);
    ZRK_BIND(kit, CPhidgetInterfaceKit_set_OnSensorChange_Handler);
    ZRK_BIND(kit, CPhidgetInterfaceKit_set_OnInputChange_Handler);

    ZRK_BIND(motor, CPhidgetMotorControl_create);
    ZRK_BIND(motor, CPhidgetMotorControl_setVelocity);
    ZRK_BIND(motor, CPhidgetMotorControl_getVelocity);
    ZRK_BIND(motor, CPhidgetMotorControl_setAcceleration);
    ZRK_BIND(kNoKind, CPhidgetMotorControl_getCurrent, "motor currents cannot be read");

    ZRK_BIND(advanced, CPhidgetAdvancedServo_create);
    ZRK_BIND(advanced, CPhidgetAdvancedServo_setPosition);
    ZRK_BIND(advanced, CPhidgetAdvancedServo_getPosition);
    ZRK_BIND(advanced, CPhidgetAdvancedServo_setPositionMin);
    ZRK_BIND(advanced, CPhidgetAdvancedServo_setPositionMax);
    ZRK_BIND(advanced, CPhidgetAdvancedServo_setEngaged);
    ZRK_BIND(advanced, CPhidgetAdvancedServo_setSpeedRampingOn);
    ZRK_BIND(advanced, CPhidgetAdvancedServo_setVelocityLimit);

    ZRK_BIND(servo, CPhidgetServo_create);
    ZRK_BIND(servo, CPhidgetServo_setPosition);
    ZRK_BIND(servo, CPhidgetServo_getPosition);
    ZRK_BIND(servo, CPhidgetServo_setEngaged);

    for (BoardKind k : {BoardKind::InterfaceKit, BoardKind::MotorControl, BoardKind::AdvancedServo, BoardKind::Servo})
        b.supports[int(k)] = (bind.missing & Bit(k)) == 0;

    // The list of attached boards: an older library without the manager
    // still drives every board; it is said once that the list is missing.
    std::vector<std::string> lacking;
    bind.collect = &lacking;
    ZRK_BIND(kNoKind, CPhidget_getDeviceClass);
    ZRK_BIND(kNoKind, CPhidget_getDeviceVersion);
    ZRK_BIND(kNoKind, CPhidgetManager_create);
    ZRK_BIND(kNoKind, CPhidgetManager_open);
    ZRK_BIND(kNoKind, CPhidgetManager_close);
    ZRK_BIND(kNoKind, CPhidgetManager_delete);
    ZRK_BIND(kNoKind, CPhidgetManager_set_OnAttach_Handler);
    ZRK_BIND(kNoKind, CPhidgetManager_set_OnDetach_Handler);
    ZRK_BIND(kNoKind, CPhidgetManager_getAttachedDevices);
    ZRK_BIND(kNoKind, CPhidgetManager_freeAttachedDevicesArray);
    // A device without its version is listed with none.
    std::erase(lacking, std::string("CPhidget_getDeviceVersion"));
    if (!api.CPhidget_getSerialNumber)
        lacking.push_back("CPhidget_getSerialNumber");
    b.manager = lacking.empty();
    if (!lacking.empty() && log) {
        std::string names = lacking[0];
        for (std::size_t i = 1; i < lacking.size(); ++i)
            names += (i + 1 == lacking.size() ? " and " : ", ") + lacking[i];
        log("Board library " + b.library->Path() + " has no function" + (lacking.size() > 1 ? "s " : " ") + names
            + " - the list of attached boards is unavailable");
    }
}

#undef ZRK_BIND

// ---- text from the library ----

// Texts the library hands out, copied at once and cut at a length no
// device name or error description comes near.
std::string Text(const char* text)
{
    constexpr std::size_t kMax = 256;
    if (!text)
        return {};
    std::size_t n = 0;
    while (n < kMax && text[n] != '\0')
        ++n;
    return std::string(text, n);
}

std::string Describe(const Api& api, int code)
{
    const char* text = nullptr;
    if (api.CPhidget_getErrorDescription && api.CPhidget_getErrorDescription(code, &text) == kOk && text && *text)
        return Text(text);
    return "board library error " + std::to_string(code);
}

// ---- controls ----

// What the library's threads share with one control (a board, or the
// manager). Its address is the user pointer of the control's callbacks; it
// lives as long as the control, whose destruction deletes the library
// handle first.
template <class Target>
struct LinkTo {
    LinkTo(std::shared_ptr<const Bound> b, IEventLoop& l) : bound(std::move(b)), loop(l) {}
    const Api& api() const { return bound->api; }

    const std::shared_ptr<const Bound> bound;
    IEventLoop& loop;
    // Set while the control is open; events that come at other times are
    // dropped at once.
    std::atomic<bool> open{false};
    // Counts opens and closes: an event is delivered only in the session it
    // came in.
    std::atomic<uint64_t> session{0};
    std::weak_ptr<LinkTo> self;
    // The control; touched on the event-loop thread only, null once the
    // control is gone.
    Target* control = nullptr;

    // Called on a library thread: queues `deliver` for the event-loop
    // thread. Never throws into the library; an event that cannot be queued
    // is lost.
    template <class Deliver>
    void Post(Deliver deliver) noexcept
    {
        try {
            // The session first: a close sets `open` before it counts, so an
            // event read as open carries a session that is still current or
            // is dropped on arrival.
            const uint64_t when = session.load();
            if (!open.load())
                return;
            loop.Post([weak = self, when, deliver = std::move(deliver)] {
                const std::shared_ptr<LinkTo> link = weak.lock();
                if (link && link->control && link->session.load() == when)
                    deliver(*link->control);
            });
        } catch (...) {
        }
    }
};

using Link = LinkTo<IBoard>;

// The name and serial number of the device, read on the library's thread
// while the library reports an attach or detach.
struct Identity {
    std::optional<std::string> name;
    std::optional<int> serial;
};

Identity Identify(const Api& api, Handle h)
{
    Identity id;
    const char* name = nullptr;
    if (api.CPhidget_getDeviceName(h, &name) == kOk && name)
        id.name = Text(name);
    int serial = 0;
    if (api.CPhidget_getSerialNumber(h, &serial) == kOk)
        id.serial = serial;
    return id;
}

using CreateFn = int(ZRK_PHIDGET_CALL*)(Handle*);

template <class Iface>
class Phidget21Board : public Iface {
public:
    Phidget21Board(std::shared_ptr<const Bound> bound, IEventLoop& loop, BoardKind kind, CreateFn create, LogFn log)
        : link_(std::make_shared<Link>(std::move(bound), loop)), log_(std::move(log)), kind_(kind)
    {
        link_->self = link_;
        link_->control = this;
        const int rc = create(&handle_);
        if (rc != kOk || !handle_) {
            handle_ = nullptr;
            Fail(rc);
            return;
        }
        Require(api().CPhidget_set_OnAttach_Handler(handle_, &Phidget21Board::AttachEvent, link_.get()));
        Require(api().CPhidget_set_OnDetach_Handler(handle_, &Phidget21Board::DetachEvent, link_.get()));
    }

    ~Phidget21Board() override
    {
        link_->open = false;
        if (handle_) {
            if (open_)
                api().CPhidget_close(handle_);
            // From here on the library calls this control no more.
            api().CPhidget_delete(handle_);
        }
        link_->control = nullptr;
    }

    Phidget21Board(const Phidget21Board&) = delete;
    Phidget21Board& operator=(const Phidget21Board&) = delete;

    BoardKind Kind() const override { return kind_; }

    void Open(int serial) override
    {
        OpenWith(serial, [&](Handle h) { return api().CPhidget_open(h, serial); });
    }

    void OpenRemote(const std::string& address, int port, int serial, const std::string& password) override
    {
        OpenWith(serial, [&](Handle h) {
            return api().CPhidget_openRemoteIP(h, serial, address.c_str(), port, password.c_str());
        });
    }

    void Close() override
    {
        if (!open_)
            return;
        open_ = false;
        attached_ = false;
        link_->open = false;
        ++link_->session;
        Check(api().CPhidget_close(handle_));
    }

    std::string DeviceName() override
    {
        if (identity_.name)
            return *identity_.name;
        const char* name = nullptr;
        Check(api().CPhidget_getDeviceName(H(), &name));
        return Text(name);
    }

    int SerialNumber() override { return identity_.serial.value_or(openedSerial_); }

    // Attached as far as the event loop has been told, and still so by the
    // library's account (a board just unplugged may not have reported its
    // detach yet). A status the library cannot give counts as detached.
    bool Attached() override
    {
        if (!attached_)
            return false;
        int status = kNotAttached;
        return api().CPhidget_getDeviceStatus(handle_, &status) == kOk && status == kAttached;
    }

protected:
    const Api& api() const { return link_->api(); }

    // The library handle, for a call; raises when the control could not be
    // set up.
    Handle H() const
    {
        if (!handle_ || !setupError_.empty())
            throw BoardError(setupError_);
        return handle_;
    }

    void Check(int rc) const
    {
        if (rc != kOk)
            throw Phidget21Error(rc, Describe(api(), rc));
    }

    // A command reaches the board only while it is attached, as far as the
    // event loop knows; before its attach and after its detach it does
    // nothing, as a command to a virtual board does.
    template <class Fn, class... Args>
    void Send(Fn fn, Args... args)
    {
        if (attached_)
            Check(fn(H(), args...));
    }

    // A value read from the board; raises when the library cannot give it.
    template <class T, class Fn, class... Args>
    T Read(Fn fn, Args... args)
    {
        T value{};
        Check(fn(H(), args..., &value));
        return value;
    }

    // A set-up step in a constructor: its failure makes every later call
    // fail with the library's reason.
    void Require(int rc)
    {
        if (rc != kOk && setupError_.empty())
            Fail(rc);
    }

    // A name for log lines that never fails.
    std::string Label()
    {
        std::string name;
        try {
            name = DeviceName();
        } catch (const BoardError&) {
        }
        if (name.empty())
            name = VirtualBoardLibrary::DefaultName(kind_);
        return name + " Serial #" + std::to_string(SerialNumber());
    }

    // Posts an event for this control, dropped on arrival unless the board
    // is attached by then.
    template <class Self, class Fn>
    static void PostWhileAttached(void* user, Fn fn) noexcept
    {
        static_cast<Link*>(user)->Post([fn](IBoard& board) {
            Self& self = static_cast<Self&>(board);
            if (self.attached_)
                fn(self);
        });
    }

    const std::shared_ptr<Link> link_;
    Handle handle_ = nullptr;
    bool attached_ = false;
    LogFn log_;

private:
    void Fail(int rc)
    {
        setupError_ = "the board library could not set up the board: " + Describe(api(), rc);
    }

    template <class Call>
    void OpenWith(int serial, Call call)
    {
        const Handle h = H();
        if (open_)
            Close();
        ++link_->session;
        link_->open = true;
        const int rc = call(h);
        if (rc != kOk) {
            link_->open = false;
            ++link_->session;
            Check(rc);
        }
        open_ = true;
        openedSerial_ = serial;
        identity_ = {};
    }

    static int ZRK_PHIDGET_CALL AttachEvent(Handle h, void* user)
    {
        Link& link = *static_cast<Link*>(user);
        try {
            Identity id = Identify(link.api(), h);
            link.Post([id = std::move(id)](IBoard& board) { static_cast<Phidget21Board&>(board).Arrived(id); });
        } catch (...) {
        }
        return 0;
    }

    static int ZRK_PHIDGET_CALL DetachEvent(Handle h, void* user)
    {
        Link& link = *static_cast<Link*>(user);
        try {
            Identity id = Identify(link.api(), h);
            link.Post([id = std::move(id)](IBoard& board) { static_cast<Phidget21Board&>(board).Left(id); });
        } catch (...) {
        }
        return 0;
    }

    void Remember(const Identity& id)
    {
        if (id.name)
            identity_.name = id.name;
        if (id.serial)
            identity_.serial = id.serial;
    }

    void Arrived(const Identity& id)
    {
        if (attached_)
            return;
        attached_ = true;
        Remember(id);
        if (this->OnAttach)
            this->OnAttach();
    }

    void Left(const Identity& id)
    {
        if (!attached_)
            return;
        attached_ = false;
        Remember(id);
        if (this->OnDetach)
            this->OnDetach();
    }

    BoardKind kind_;
    std::string setupError_;
    bool open_ = false;
    int openedSerial_ = 0;
    Identity identity_;
};

class Phidget21InterfaceKit final : public Phidget21Board<IInterfaceKit> {
public:
    Phidget21InterfaceKit(std::shared_ptr<const Bound> bound, IEventLoop& loop, LogFn log)
        : Phidget21Board(bound, loop, BoardKind::InterfaceKit, bound->api.CPhidgetInterfaceKit_create, std::move(log))
    {
        if (!handle_)
            return;
        Require(api().CPhidgetInterfaceKit_set_OnSensorChange_Handler(handle_, &SensorEvent, link_.get()));
        Require(api().CPhidgetInterfaceKit_set_OnInputChange_Handler(handle_, &InputEvent, link_.get()));
    }

    void SetRatiometric(bool on) override { Send(api().CPhidgetInterfaceKit_setRatiometric, on ? 1 : 0); }
    void SetSensorChangeTrigger(int input, int trigger) override
    {
        Send(api().CPhidgetInterfaceKit_setSensorChangeTrigger, input, trigger);
    }
    // None while the board is away.
    int OutputCount() override
    {
        return attached_ ? Read<int>(api().CPhidgetInterfaceKit_getOutputCount) : 0;
    }
    void SetOutputState(int output, bool on) override
    {
        Send(api().CPhidgetInterfaceKit_setOutputState, output, on ? 1 : 0);
    }

private:
    static int ZRK_PHIDGET_CALL SensorEvent(Handle, void* user, int index, int value)
    {
        PostWhileAttached<Phidget21InterfaceKit>(user, [index, value](Phidget21InterfaceKit& kit) {
            if (kit.OnSensorChange)
                kit.OnSensorChange(index, value);
        });
        return 0;
    }

    static int ZRK_PHIDGET_CALL InputEvent(Handle, void* user, int index, int state)
    {
        PostWhileAttached<Phidget21InterfaceKit>(user, [index, state](Phidget21InterfaceKit& kit) {
            if (kit.OnInputChange)
                kit.OnInputChange(index, state != 0);
        });
        return 0;
    }
};

class Phidget21MotorControl final : public Phidget21Board<IMotorControl> {
public:
    Phidget21MotorControl(std::shared_ptr<const Bound> bound, IEventLoop& loop, LogFn log)
        : Phidget21Board(bound, loop, BoardKind::MotorControl, bound->api.CPhidgetMotorControl_create, std::move(log))
    {
    }

    void SetVelocity(int motor, double percent) override { Send(api().CPhidgetMotorControl_setVelocity, motor, percent); }
    double Velocity(int motor) override { return Read<double>(api().CPhidgetMotorControl_getVelocity, motor); }
    void SetAcceleration(int motor, double value) override
    {
        Send(api().CPhidgetMotorControl_setAcceleration, motor, value);
    }

    // Boards that cannot sense current refuse the read; that is said once.
    double Current(int motor) override
    {
        const Handle h = H();
        if (!api().CPhidgetMotorControl_getCurrent)
            throw BoardError("the board library cannot read motor currents");
        double amperes = 0;
        const int rc = api().CPhidgetMotorControl_getCurrent(h, motor, &amperes);
        if (rc == kOk)
            return amperes;
        const Phidget21Error error(rc, Describe(api(), rc));
        // A board that has just gone says so through its detach.
        if (rc != kNotAttachedError && !currentFailureLogged_ && log_) {
            currentFailureLogged_ = true;
            log_(Label() + ": motor current cannot be read (" + error.what()
                 + ") - manual override is not detected on this board");
        }
        throw error;
    }

private:
    bool currentFailureLogged_ = false;
};

class Phidget21AdvancedServo final : public Phidget21Board<IAdvancedServo> {
public:
    Phidget21AdvancedServo(std::shared_ptr<const Bound> bound, IEventLoop& loop, LogFn log)
        : Phidget21Board(bound, loop, BoardKind::AdvancedServo, bound->api.CPhidgetAdvancedServo_create,
                         std::move(log))
    {
    }

    void SetPosition(int servo, double degrees) override
    {
        Send(api().CPhidgetAdvancedServo_setPosition, servo, degrees);
    }
    double Position(int servo) override { return Read<double>(api().CPhidgetAdvancedServo_getPosition, servo); }
    void SetEngaged(int servo, bool on) override { Send(api().CPhidgetAdvancedServo_setEngaged, servo, on ? 1 : 0); }
    void SetPositionMin(int servo, double degrees) override
    {
        Send(api().CPhidgetAdvancedServo_setPositionMin, servo, degrees);
    }
    void SetPositionMax(int servo, double degrees) override
    {
        Send(api().CPhidgetAdvancedServo_setPositionMax, servo, degrees);
    }
    void SetSpeedRamping(int servo, bool on) override
    {
        Send(api().CPhidgetAdvancedServo_setSpeedRampingOn, servo, on ? 1 : 0);
    }
    void SetVelocityLimit(int servo, double limit) override
    {
        Send(api().CPhidgetAdvancedServo_setVelocityLimit, servo, limit);
    }
};

class Phidget21Servo final : public Phidget21Board<IServo> {
public:
    Phidget21Servo(std::shared_ptr<const Bound> bound, IEventLoop& loop, LogFn log)
        : Phidget21Board(bound, loop, BoardKind::Servo, bound->api.CPhidgetServo_create, std::move(log))
    {
    }

    void SetPosition(int servo, double degrees) override { Send(api().CPhidgetServo_setPosition, servo, degrees); }
    double Position(int servo) override { return Read<double>(api().CPhidgetServo_getPosition, servo); }
    void SetEngaged(int servo, bool on) override { Send(api().CPhidgetServo_setEngaged, servo, on ? 1 : 0); }
};

// ---- the list of attached boards ----

std::optional<BoardKind> KindOfClass(int deviceClass)
{
    switch (deviceClass) {
    case kClassInterfaceKit: return BoardKind::InterfaceKit;
    case kClassMotorControl: return BoardKind::MotorControl;
    case kClassAdvancedServo: return BoardKind::AdvancedServo;
    case kClassServo: return BoardKind::Servo;
    }
    return std::nullopt;
}

// A device as a manager's handle describes it, read while the handle is
// valid (in the library's callback, or before the array is freed).
// Nothing when even its serial number cannot be read.
std::optional<AttachedBoard> Listed(const Api& api, Handle h)
{
    AttachedBoard board;
    if (!h || api.CPhidget_getSerialNumber(h, &board.serial) != kOk)
        return std::nullopt;
    int deviceClass = 0;
    if (api.CPhidget_getDeviceClass(h, &deviceClass) == kOk)
        board.kind = KindOfClass(deviceClass);
    const char* name = nullptr;
    if (api.CPhidget_getDeviceName && api.CPhidget_getDeviceName(h, &name) == kOk)
        board.name = Text(name);
    int version = 0;
    if (api.CPhidget_getDeviceVersion && api.CPhidget_getDeviceVersion(h, &version) == kOk)
        board.version = version;
    return board;
}

class Phidget21Manager;
using ManagerLink = LinkTo<Phidget21Manager>;

// The library's manager: its attach and detach callbacks come on the
// library's thread and are posted to the event loop, as every board's are.
class Phidget21Manager final : public IBoardManager {
public:
    Phidget21Manager(std::shared_ptr<const Bound> bound, IEventLoop& loop, const LogFn& log)
        : link_(std::make_shared<ManagerLink>(std::move(bound), loop))
    {
        link_->self = link_;
        link_->control = this;
        const Api& api = link_->api();
        int rc = api.CPhidgetManager_create(&handle_);
        if (rc != kOk || !handle_) {
            handle_ = nullptr;
            Fail(log, rc);
            return;
        }
        rc = api.CPhidgetManager_set_OnAttach_Handler(handle_, &AttachEvent, link_.get());
        if (rc == kOk)
            rc = api.CPhidgetManager_set_OnDetach_Handler(handle_, &DetachEvent, link_.get());
        if (rc == kOk) {
            link_->open = true;
            rc = api.CPhidgetManager_open(handle_);
        }
        if (rc != kOk) {
            Fail(log, rc);
            return;
        }
        open_ = true;
        // The boards the library knows of already; those it calls back for
        // afterwards are listed once.
        Handle* devices = nullptr;
        int count = 0;
        if (api.CPhidgetManager_getAttachedDevices(handle_, &devices, &count) == kOk && devices) {
            for (int i = 0; i < count; ++i)
                if (auto board = Listed(api, devices[i]))
                    AddBoard(boards_, *board);
            api.CPhidgetManager_freeAttachedDevicesArray(devices);
        }
    }

    ~Phidget21Manager() override
    {
        link_->open = false;
        if (handle_) {
            const Api& api = link_->api();
            if (open_)
                api.CPhidgetManager_close(handle_);
            // From here on the library calls this manager no more.
            api.CPhidgetManager_delete(handle_);
        }
        link_->control = nullptr;
    }

    Phidget21Manager(const Phidget21Manager&) = delete;
    Phidget21Manager& operator=(const Phidget21Manager&) = delete;

    bool Available() const override { return open_; }
    std::vector<AttachedBoard> Boards() const override { return boards_; }

private:
    void Fail(const LogFn& log, int rc)
    {
        link_->open = false;
        if (log)
            log("The board library could not list the attached boards: " + Describe(link_->api(), rc));
    }

    static int ZRK_PHIDGET_CALL AttachEvent(Handle h, void* user) { return Event(h, user, true); }
    static int ZRK_PHIDGET_CALL DetachEvent(Handle h, void* user) { return Event(h, user, false); }

    static int Event(Handle h, void* user, bool attached)
    {
        ManagerLink& link = *static_cast<ManagerLink*>(user);
        try {
            if (std::optional<AttachedBoard> board = Listed(link.api(), h))
                link.Post([board = *board, attached](Phidget21Manager& m) { m.Changed(board, attached); });
        } catch (...) {
        }
        return 0;
    }

    void Changed(const AttachedBoard& board, bool attached)
    {
        if (attached ? AddBoard(boards_, board) : RemoveBoard(boards_, board.serial))
            Notify(board, attached);
    }

    const std::shared_ptr<ManagerLink> link_;
    ManagerHandle handle_ = nullptr;
    bool open_ = false;
    std::vector<AttachedBoard> boards_;
};

} // namespace

// ---- library ----

std::unique_ptr<IBoardManager> Phidget21BoardLibrary::CreateManager()
{
    if (!SupportsManager())
        return std::make_unique<UnavailableBoardManager>();
    return std::make_unique<Phidget21Manager>(bound_, loop_, log_);
}

bool Phidget21BoardLibrary::SupportsManager() const { return bound_->manager; }

Phidget21BoardLibrary::Phidget21BoardLibrary(std::unique_ptr<IDynamicLibrary> library, IEventLoop& loop, LogFn log)
    : loop_(loop), log_(std::move(log)), idle_(loop)
{
    auto bound = std::make_shared<Bound>();
    bound->library = std::move(library);
    if (bound->library)
        BindAll(*bound, log_);
    bound_ = std::move(bound);
}

Phidget21BoardLibrary::~Phidget21BoardLibrary() = default;

bool Phidget21BoardLibrary::Supports(BoardKind kind) const { return bound_->supports[int(kind)]; }

std::unique_ptr<IInterfaceKit> Phidget21BoardLibrary::CreateInterfaceKit()
{
    if (!Supports(BoardKind::InterfaceKit))
        return idle_.CreateInterfaceKit();
    return std::make_unique<Phidget21InterfaceKit>(bound_, loop_, log_);
}

std::unique_ptr<IMotorControl> Phidget21BoardLibrary::CreateMotorControl()
{
    if (!Supports(BoardKind::MotorControl))
        return idle_.CreateMotorControl();
    return std::make_unique<Phidget21MotorControl>(bound_, loop_, log_);
}

std::unique_ptr<IAdvancedServo> Phidget21BoardLibrary::CreateAdvancedServo()
{
    if (!Supports(BoardKind::AdvancedServo))
        return idle_.CreateAdvancedServo();
    return std::make_unique<Phidget21AdvancedServo>(bound_, loop_, log_);
}

std::unique_ptr<IServo> Phidget21BoardLibrary::CreateServo()
{
    if (!Supports(BoardKind::Servo))
        return idle_.CreateServo();
    return std::make_unique<Phidget21Servo>(bound_, loop_, log_);
}

} // namespace zrk
