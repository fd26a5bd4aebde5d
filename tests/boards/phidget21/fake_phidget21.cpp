// A stand-in for the board maker's phidget21 library, with the same C
// interface (the controller's own declaration of it), built as a shared
// library: a .so natively, a __stdcall DLL for Windows.
//
// It behaves as the controller relies on the real one to behave: boards
// are "plugged" on a bus; a control opened with a plugged board's serial
// number attaches to it; attach and detach are called back from one
// thread of the library, sensor and input changes from one read thread per
// serial number; a call on a board that is not attached fails; closing or
// deleting a control waits for a callback of it that is running, and no
// callback of it runs afterwards.
//
// Its manager lists every board plugged in: a manager opened calls back
// the attach of each board there, then of each board plugged, and the
// detach of each board unplugged, from the same thread as the boards'
// attach and detach; the handle of a callback or of the attached-devices
// array describes the board (serial number, class, name, version).
//
// A control interface (FakePhidget21_*) lets a test plug and unplug boards,
// raise events, make any function fail with a given code, read back every
// call made (one line each: function, serial number the control was
// opened with or -, arguments), and count handles still alive and calls
// on handles that are not (any such call is a fault of the caller).
//
// A test in another process can drive it too, with text commands (see
// RunControlCommand): on Windows, when the process that loads it has
// ZRK_FAKE_PHIDGET21_CONTROL set, by WM_COPYDATA to a hidden top-level
// window of class "ZrkFakePhidget21" titled with that variable's value; on
// any system, when ZRK_FAKE_PHIDGET21_COMMANDS names a file, by lines the
// test appends to that file.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "boards/Phidget21Api.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using namespace zrk::phidget21;

namespace {

enum Kind { kKit = 0, kMotor = 1, kAdvancedServo = 2, kServo = 3 };
constexpr int kDuplicate = 12;
constexpr int kOutOfBounds = 14;
constexpr int kMaxOutputs = 16;

// One thread working off a queue of tasks in order.
class Worker {
public:
    Worker() : thread_([this] { Run(); }) {}

    void Queue(std::function<void()> task)
    {
        std::lock_guard<std::mutex> lock(m_);
        tasks_.push_back(std::move(task));
        wake_.notify_all();
    }

    // Returns when every task queued so far has run.
    void Flush()
    {
        std::unique_lock<std::mutex> lock(m_);
        idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
    }

private:
    void Run()
    {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            wake_.wait(lock, [this] { return !tasks_.empty(); });
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            busy_ = true;
            lock.unlock();
            task();
            lock.lock();
            busy_ = false;
            if (tasks_.empty())
                idle_.notify_all();
        }
    }

    std::mutex m_;
    std::condition_variable wake_, idle_;
    std::deque<std::function<void()>> tasks_;
    bool busy_ = false;
    std::thread thread_;
};

struct Device {
    int kind;
    int serial;
    std::string name;
    int outputs;
    int version;
};

} // namespace

// The handle target of a manager.
struct zrk::phidget21::Manager {
    // Held while a callback of this manager runs; closing and deleting wait
    // for it.
    std::recursive_mutex callback;
    bool open = false;
    AttachHandler onAttach = nullptr, onDetach = nullptr;
    void *attachUser = nullptr, *detachUser = nullptr;
};

// The handle target of every board control.
struct zrk::phidget21::Control {
    explicit Control(int k) : kind(k) {}
    const int kind;
    // Held while a callback of this control runs; closing and deleting wait
    // for it. Recursive: a callback may itself close its control.
    std::recursive_mutex callback;

    bool open = false;
    int openedSerial = -1;
    std::shared_ptr<Device> device;   // the board it has claimed
    bool attached = false;            // calls on the board succeed
    bool reported = false;            // the attach was called back, its detach not yet
    std::string name;
    int serial = 0;

    AttachHandler onAttach = nullptr, onDetach = nullptr;
    void *attachUser = nullptr, *detachUser = nullptr;
    SensorChangeHandler onSensor = nullptr;
    void* sensorUser = nullptr;
    InputChangeHandler onInput = nullptr;
    void* inputUser = nullptr;

    double velocity[kMaxOutputs] = {};
    double position[kMaxOutputs] = {};
};

namespace {

struct State {
    std::mutex m;   // guards everything here
    std::map<Control*, std::shared_ptr<Control>> controls;
    std::map<Manager*, std::shared_ptr<Manager>> managers;
    // The handles that describe plugged boards to managers, one per board
    // plugged (kept to the next reset: a manager callback may still hold
    // one of a board just unplugged), and the arrays of them handed out
    // and not yet freed.
    std::map<Control*, std::shared_ptr<Control>> deviceHandles;
    std::map<int, Control*> deviceHandleOf;   // by serial
    std::map<Handle*, std::unique_ptr<Handle[]>> arrays;
    std::map<int, std::shared_ptr<Device>> devices;
    // The control last attached to each serial number: where read-thread
    // events of that board go.
    std::map<int, std::weak_ptr<Control>> lastControl;
    std::map<int, std::map<int, double>> currents;   // by serial, motor
    std::map<std::string, int> failures;             // function (or "*") -> code
    std::vector<std::string> calls;
    int misuse = 0;
    // Threads of the library, made on first use and kept to the end of
    // the process.
    Worker* central = nullptr;
    std::map<int, Worker*> readers;

    Worker& Central()
    {
        if (!central)
            central = new Worker;
        return *central;
    }
    Worker& Reader(int serial)
    {
        Worker*& w = readers[serial];
        if (!w)
            w = new Worker;
        return *w;
    }
};

State& S()
{
    // Never destroyed: its threads may outlive every static destructor.
    static State* state = new State;
    return *state;
}

std::string Arg(int v) { return std::to_string(v); }
std::string Arg(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}
std::string Arg(const char* v) { return std::string("\"") + (v ? v : "") + "\""; }

// Records the call and returns the failure code set for the function, 0
// when none. A handle that is not alive is refused as an invalid argument
// and counted as misuse. Called with the state locked.
template <class... Args>
int Enter(const char* function, Control* c, bool needsHandle, Args... args)
{
    State& s = S();
    std::string line = function;
    line += ' ';
    line += needsHandle && s.controls.count(c) ? (c->open ? std::to_string(c->openedSerial) : "-")
            : needsHandle && s.deviceHandles.count(c) ? "=" + std::to_string(c->serial)
                                                       : "-";
    ((line += ' ', line += Arg(args)), ...);
    // Trimmed by halves, so that a long run cannot grow it without bound.
    if (s.calls.size() >= 400000)
        s.calls.erase(s.calls.begin(), s.calls.begin() + 200000);
    s.calls.push_back(line);
    if (needsHandle && !s.controls.count(c) && !s.deviceHandles.count(c)) {
        ++s.misuse;
        return kInvalidArgument;
    }
    auto it = s.failures.find(function);
    if (it == s.failures.end())
        it = s.failures.find("*");
    return it == s.failures.end() ? kOk : it->second;
}

// The common opening of every function on a board: recorded, failed on
// demand, refused for dead handles.
#define FAKE_ENTER(c, ...)                                     \
    std::lock_guard<std::mutex> lock(S().m);                   \
    if (int rc = Enter(__func__, c, true __VA_OPT__(, ) __VA_ARGS__)) \
        return rc

bool ValidOutput(Control* c, int index)
{
    return c->device && index >= 0 && index < c->device->outputs && index < kMaxOutputs;
}

// Runs a callback of `weak` on the calling library thread: `take` reads
// the handler under the lock (returning false to drop the event), and the
// handler is called without it, so that it may call the library.
template <class Take>
void Callback(const std::weak_ptr<Control>& weak, Take take)
{
    const std::shared_ptr<Control> c = weak.lock();
    if (!c)
        return;
    std::lock_guard<std::recursive_mutex> running(c->callback);
    std::function<void()> call;
    {
        std::lock_guard<std::mutex> lock(S().m);
        if (!S().controls.count(c.get()) || !c->open)
            return;
        call = take(*c);
    }
    if (call)
        call();
}

void QueueAttach(const std::shared_ptr<Control>& c, const std::shared_ptr<Device>& d)
{
    c->device = d;
    std::weak_ptr<Control> weak = c;
    S().Central().Queue([weak, d] {
        Callback(weak, [&](Control& c) -> std::function<void()> {
            if (c.device != d || c.reported)
                return {};
            c.attached = true;
            c.reported = true;
            c.name = d->name;
            c.serial = d->serial;
            S().lastControl[d->serial] = weak;
            if (!c.onAttach)
                return {};
            return [h = &c, fn = c.onAttach, user = c.attachUser] { fn(h, user); };
        });
    });
}

// A control just opened, or a board just plugged: pairs them.
void Match()
{
    State& s = S();
    for (auto& [ptr, c] : s.controls) {
        if (!c->open || c->device)
            continue;
        for (auto& [serial, d] : s.devices) {
            bool claimed = false;
            for (auto& [p, other] : s.controls)
                claimed = claimed || other->device == d;
            if (!claimed && d->kind == c->kind && (c->openedSerial == -1 || c->openedSerial == serial)) {
                QueueAttach(c, d);
                break;
            }
        }
    }
}

void QueueDetach(const std::shared_ptr<Control>& c)
{
    c->device.reset();
    c->attached = false;
    std::weak_ptr<Control> weak = c;
    S().Central().Queue([weak] {
        Callback(weak, [&](Control& c) -> std::function<void()> {
            if (!c.reported)
                return {};
            c.reported = false;
            if (!c.onDetach)
                return {};
            return [h = &c, fn = c.onDetach, user = c.detachUser] { fn(h, user); };
        });
    });
}

// Stops a control's callbacks: after it returns none runs.
void Quiesce(Control* c)
{
    std::lock_guard<std::recursive_mutex> wait(c->callback);
}

void CloseLocked(Control* c)
{
    c->open = false;
    c->device.reset();
    c->attached = false;
    c->reported = false;
}

void StartControlChannel();
void PlugFromEnvironment();

int Create(Control** out, int kind, const char* function)
{
    // The program under test creates its board controls first thing: the
    // channel is up by the time a test needs it.
    StartControlChannel();
    PlugFromEnvironment();
    std::lock_guard<std::mutex> lock(S().m);
    if (int rc = Enter(function, nullptr, false))
        return rc;
    if (!out)
        return kInvalidArgument;
    auto c = std::make_shared<Control>(kind);
    S().controls[c.get()] = c;
    *out = c.get();
    return kOk;
}

// Raises a sensor or input change on the read thread of `serial`. `late`:
// the read thread's sample that races the detach and comes after it.
void QueueData(int serial, bool sensor, int index, int value, bool late)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    std::weak_ptr<Control> weak = s.lastControl[serial];
    s.Reader(serial).Queue([weak, sensor, index, value, late] {
        Callback(weak, [&](Control& c) -> std::function<void()> {
            if (!late && !c.attached)
                return {};
            if (sensor && c.onSensor)
                return [h = &c, fn = c.onSensor, user = c.sensorUser, index, value] { fn(h, user, index, value); };
            if (!sensor && c.onInput)
                return [h = &c, fn = c.onInput, user = c.inputUser, index, value] { fn(h, user, index, value); };
            return {};
        });
    });
}

// The device class the library reports for a board of `kind` (4: a
// device the controller does not drive, here an RFID reader).
int DeviceClass(int kind)
{
    static const int kClasses[] = {kClassInterfaceKit, kClassMotorControl, kClassAdvancedServo, kClassServo, 11};
    return kind >= 0 && kind <= 4 ? kClasses[kind] : 1;
}

// Calls back a manager's attach or detach for the board `device`
// describes, on the library's thread, unless the manager has closed.
void QueueManagerEvent(const std::shared_ptr<Manager>& manager, bool attach, Control* device)
{
    std::weak_ptr<Manager> weak = manager;
    S().Central().Queue([weak, attach, device] {
        const std::shared_ptr<Manager> m = weak.lock();
        if (!m)
            return;
        std::lock_guard<std::recursive_mutex> running(m->callback);
        AttachHandler fn = nullptr;
        void* user = nullptr;
        {
            std::lock_guard<std::mutex> lock(S().m);
            if (!S().managers.count(m.get()) || !m->open)
                return;
            fn = attach ? m->onAttach : m->onDetach;
            user = attach ? m->attachUser : m->detachUser;
        }
        if (fn)
            fn(device, user);
    });
}

// Every open manager is told of a board arriving or leaving. Called with
// the state locked.
void TellManagers(bool attach, int serial)
{
    State& s = S();
    Control* device = s.deviceHandleOf[serial];
    for (auto& [p, m] : s.managers)
        if (m->open)
            QueueManagerEvent(m, attach, device);
}

// The manager functions' common opening: recorded, failed on demand,
// refused for dead handles.
#define FAKE_MANAGER_ENTER(m)                                    \
    std::lock_guard<std::mutex> lock(S().m);                     \
    if (int rc = Enter(__func__, nullptr, false))                \
        return rc;                                               \
    if (!S().managers.count(m)) {                                \
        ++S().misuse;                                            \
        return kInvalidArgument;                                 \
    }

} // namespace

// ---- the library's interface ----

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_open(Handle c, int serial)
{
    FAKE_ENTER(c, serial);
    if (c->open)
        return kDuplicate;
    c->open = true;
    c->openedSerial = serial;
    Match();
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_openRemoteIP(Handle c, int serial, const char* address, int port,
                                                       const char* password)
{
    FAKE_ENTER(c, serial, address, port, password);
    if (c->open)
        return kDuplicate;
    if (!address || !password)
        return kInvalidArgument;
    c->open = true;
    c->openedSerial = serial;
    Match();
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_close(Handle c)
{
    {
        FAKE_ENTER(c);
        CloseLocked(c);
        Match();   // the board it had is free for another control
    }
    Quiesce(c);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_delete(Handle c)
{
    std::shared_ptr<Control> keep;
    {
        FAKE_ENTER(c);
        CloseLocked(c);
        keep = S().controls[c];
        S().controls.erase(c);
        Match();
    }
    Quiesce(c);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_getDeviceName(Handle c, const char** name)
{
    FAKE_ENTER(c);
    if (!c->attached)
        return kNotAttachedError;
    *name = c->name.c_str();
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_getSerialNumber(Handle c, int* serial)
{
    FAKE_ENTER(c);
    if (!c->attached)
        return kNotAttachedError;
    *serial = c->serial;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_getDeviceStatus(Handle c, int* status)
{
    FAKE_ENTER(c);
    *status = c->attached ? kAttached : kNotAttached;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_set_OnAttach_Handler(Handle c, AttachHandler fn, void* user)
{
    FAKE_ENTER(c);
    c->onAttach = fn;
    c->attachUser = user;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_set_OnDetach_Handler(Handle c, AttachHandler fn, void* user)
{
    FAKE_ENTER(c);
    c->onDetach = fn;
    c->detachUser = user;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_getErrorDescription(int code, const char** text)
{
    static const char* const kTexts[] = {
        "Function completed successfully.",
        "A Phidget matching the type and or serial number could not be found.",
        "Memory could not be allocated.",
        "Unexpected Error. Contact Phidgets Inc. for support.",
        "Invalid argument passed to function.",
        "Phidget not physically attached.",
        "Read/Write operation was interrupted.",
        "The Error Code is not defined.",
        "Network Error.",
        "Value is Unknown (State not yet received from device, or not yet set by user).",
        "Authorization Failed.",
        "Not Supported.",
        "Duplicated request.",
        "Given timeout has been exceeded.",
        "Index out of Bounds.",
        "A non-null error code was returned from an event handler.",
        "A connection to the server does not exist.",
        "Function is not applicable for this device.",
        "Phidget handle was closed.",
        "Webservice and Client protocol versions don't match. Update to newest release.",
    };
    std::lock_guard<std::mutex> lock(S().m);
    if (int rc = Enter(__func__, nullptr, false, code))
        return rc;
    if (!text || code < 0 || code >= int(sizeof kTexts / sizeof kTexts[0]))
        return kInvalidArgument;
    *text = kTexts[code];
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_getDeviceClass(Handle c, int* deviceClass)
{
    FAKE_ENTER(c);
    if (!c->attached)
        return kNotAttachedError;
    *deviceClass = DeviceClass(c->kind);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidget_getDeviceVersion(Handle c, int* version)
{
    FAKE_ENTER(c);
    if (!c->attached || !c->device)
        return kNotAttachedError;
    *version = c->device->version;
    return kOk;
}

// ---- the manager ----

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_create(ManagerHandle* out)
{
    StartControlChannel();
    PlugFromEnvironment();
    std::lock_guard<std::mutex> lock(S().m);
    if (int rc = Enter(__func__, nullptr, false))
        return rc;
    if (!out)
        return kInvalidArgument;
    auto m = std::make_shared<Manager>();
    S().managers[m.get()] = m;
    *out = m.get();
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_open(ManagerHandle m)
{
    FAKE_MANAGER_ENTER(m);
    if (m->open)
        return kDuplicate;
    m->open = true;
    // The boards there already are called back as they are found.
    for (auto& [serial, d] : S().devices)
        QueueManagerEvent(S().managers[m], true, S().deviceHandleOf[serial]);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_close(ManagerHandle m)
{
    {
        FAKE_MANAGER_ENTER(m);
        m->open = false;
    }
    std::lock_guard<std::recursive_mutex> wait(m->callback);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_delete(ManagerHandle m)
{
    std::shared_ptr<Manager> keep;
    {
        FAKE_MANAGER_ENTER(m);
        m->open = false;
        keep = S().managers[m];
        S().managers.erase(m);
    }
    std::lock_guard<std::recursive_mutex> wait(m->callback);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_set_OnAttach_Handler(ManagerHandle m, AttachHandler fn, void* user)
{
    FAKE_MANAGER_ENTER(m);
    m->onAttach = fn;
    m->attachUser = user;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_set_OnDetach_Handler(ManagerHandle m, AttachHandler fn, void* user)
{
    FAKE_MANAGER_ENTER(m);
    m->onDetach = fn;
    m->detachUser = user;
    return kOk;
}

// The boards plugged, for an open manager; an array the caller frees
// through the library.
FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_getAttachedDevices(ManagerHandle m, Handle** devices, int* count)
{
    FAKE_MANAGER_ENTER(m);
    if (!devices || !count)
        return kInvalidArgument;
    State& s = S();
    const std::size_t n = m->open ? s.devices.size() : 0;
    auto array = std::make_unique<Handle[]>(n + 1);
    std::size_t i = 0;
    if (m->open)
        for (auto& [serial, d] : s.devices)
            array[i++] = s.deviceHandleOf[serial];
    *devices = array.get();
    *count = int(n);
    s.arrays[array.get()] = std::move(array);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetManager_freeAttachedDevicesArray(Handle* devices)
{
    std::lock_guard<std::mutex> lock(S().m);
    if (int rc = Enter(__func__, nullptr, false))
        return rc;
    if (!S().arrays.erase(devices)) {
        ++S().misuse;
        return kInvalidArgument;
    }
    return kOk;
}

// A call that needs the board attached and, with an index, one of its outputs.
#define FAKE_NEEDS_ATTACHED(c)     \
    if (!(c)->attached)            \
        return kNotAttachedError
#define FAKE_NEEDS_OUTPUT(c, index) \
    FAKE_NEEDS_ATTACHED(c);         \
    if (!ValidOutput(c, index))     \
        return kOutOfBounds

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetInterfaceKit_create(Handle* out) { return Create(out, kKit, __func__); }

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetInterfaceKit_setRatiometric(Handle c, int on)
{
    FAKE_ENTER(c, on);
    FAKE_NEEDS_ATTACHED(c);
    return on == 0 || on == 1 ? kOk : kInvalidArgument;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetInterfaceKit_setSensorChangeTrigger(Handle c, int index, int trigger)
{
    FAKE_ENTER(c, index, trigger);
    FAKE_NEEDS_ATTACHED(c);
    return index >= 0 && index < 8 && trigger >= 0 && trigger <= 1000 ? kOk : kOutOfBounds;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetInterfaceKit_getOutputCount(Handle c, int* count)
{
    FAKE_ENTER(c);
    FAKE_NEEDS_ATTACHED(c);
    *count = c->device->outputs;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetInterfaceKit_setOutputState(Handle c, int index, int on)
{
    FAKE_ENTER(c, index, on);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetInterfaceKit_set_OnSensorChange_Handler(Handle c, SensorChangeHandler fn,
                                                                                 void* user)
{
    FAKE_ENTER(c);
    c->onSensor = fn;
    c->sensorUser = user;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetInterfaceKit_set_OnInputChange_Handler(Handle c, InputChangeHandler fn,
                                                                                void* user)
{
    FAKE_ENTER(c);
    c->onInput = fn;
    c->inputUser = user;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetMotorControl_create(Handle* out) { return Create(out, kMotor, __func__); }

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetMotorControl_setVelocity(Handle c, int index, double percent)
{
    FAKE_ENTER(c, index, percent);
    FAKE_NEEDS_OUTPUT(c, index);
    if (!(percent >= -100 && percent <= 100))
        return kInvalidArgument;
    c->velocity[index] = percent;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetMotorControl_getVelocity(Handle c, int index, double* percent)
{
    FAKE_ENTER(c, index);
    FAKE_NEEDS_OUTPUT(c, index);
    *percent = c->velocity[index];
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetMotorControl_setAcceleration(Handle c, int index, double value)
{
    FAKE_ENTER(c, index, value);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetMotorControl_getCurrent(Handle c, int index, double* amperes)
{
    FAKE_ENTER(c, index);
    FAKE_NEEDS_OUTPUT(c, index);
    *amperes = S().currents[c->serial][index];
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_create(Handle* out)
{
    return Create(out, kAdvancedServo, __func__);
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_setPosition(Handle c, int index, double degrees)
{
    FAKE_ENTER(c, index, degrees);
    FAKE_NEEDS_OUTPUT(c, index);
    c->position[index] = degrees;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_getPosition(Handle c, int index, double* degrees)
{
    FAKE_ENTER(c, index);
    FAKE_NEEDS_OUTPUT(c, index);
    *degrees = c->position[index];
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_setPositionMin(Handle c, int index, double degrees)
{
    FAKE_ENTER(c, index, degrees);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_setPositionMax(Handle c, int index, double degrees)
{
    FAKE_ENTER(c, index, degrees);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_setEngaged(Handle c, int index, int on)
{
    FAKE_ENTER(c, index, on);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_setSpeedRampingOn(Handle c, int index, int on)
{
    FAKE_ENTER(c, index, on);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetAdvancedServo_setVelocityLimit(Handle c, int index, double limit)
{
    FAKE_ENTER(c, index, limit);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetServo_create(Handle* out) { return Create(out, kServo, __func__); }

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetServo_setPosition(Handle c, int index, double degrees)
{
    FAKE_ENTER(c, index, degrees);
    FAKE_NEEDS_OUTPUT(c, index);
    c->position[index] = degrees;
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetServo_getPosition(Handle c, int index, double* degrees)
{
    FAKE_ENTER(c, index);
    FAKE_NEEDS_OUTPUT(c, index);
    *degrees = c->position[index];
    return kOk;
}

FAKE_EXPORT int ZRK_PHIDGET_CALL CPhidgetServo_setEngaged(Handle c, int index, int on)
{
    FAKE_ENTER(c, index, on);
    FAKE_NEEDS_OUTPUT(c, index);
    return kOk;
}

// ---- the control interface for tests ----

// Forgets every board, failure and recorded call (controls stay).
FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_Reset()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    for (auto& [p, c] : s.controls)
        if (c->device)
            QueueDetach(c);
    for (auto& [serial, d] : s.devices)
        TellManagers(false, serial);
    s.devices.clear();
    s.lastControl.clear();
    s.currents.clear();
    s.failures.clear();
    s.calls.clear();
    s.misuse = 0;
}

// Plugs a board of `kind` (0 interface kit, 1 motor controller, 2 advanced
// servo, 3 servo, 4 a device the controller does not drive) with `outputs`
// outputs and firmware `version`; a name of null or "" takes a default.
// Returns 0, or -1 when the serial number is plugged already.
FAKE_EXPORT int ZRK_PHIDGET_CALL FakePhidget21_PlugBoard(int kind, int serial, const char* name, int outputs,
                                                         int version)
{
    static const char* const kNames[] = {"Phidget InterfaceKit 8/8/8", "Phidget Low Voltage Motor Controller",
                                         "Phidget Advanced Servo Controller 8-motor", "Phidget Servo Controller",
                                         "Phidget RFID 2-output"};
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    if (kind < 0 || kind > 4 || s.devices.count(serial) || outputs < 0 || outputs > kMaxOutputs)
        return -1;
    auto d = std::make_shared<Device>();
    d->kind = kind;
    d->serial = serial;
    d->name = name && *name ? name : kNames[kind];
    d->outputs = outputs;
    d->version = version;
    s.devices[serial] = d;
    // Its description for managers.
    auto handle = std::make_shared<Control>(kind);
    handle->device = d;
    handle->attached = true;
    handle->name = d->name;
    handle->serial = serial;
    s.deviceHandles[handle.get()] = handle;
    s.deviceHandleOf[serial] = handle.get();
    TellManagers(true, serial);
    Match();
    return 0;
}

// The same with the version a board of the kind has.
FAKE_EXPORT int ZRK_PHIDGET_CALL FakePhidget21_Plug(int kind, int serial, const char* name, int outputs)
{
    static const int kVersions[] = {825, 100, 313, 313, 200};
    return FakePhidget21_PlugBoard(kind, serial, name, outputs, kind >= 0 && kind <= 4 ? kVersions[kind] : 0);
}

// Unplugs a board: calls on it fail at once, its detach follows on the
// library's thread. Returns -1 when nothing was plugged there.
FAKE_EXPORT int ZRK_PHIDGET_CALL FakePhidget21_Unplug(int serial)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    auto it = s.devices.find(serial);
    if (it == s.devices.end())
        return -1;
    for (auto& [p, c] : s.controls)
        if (c->device == it->second)
            QueueDetach(c);
    TellManagers(false, serial);
    s.devices.erase(it);
    return 0;
}

FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_Sensor(int serial, int index, int value)
{
    QueueData(serial, true, index, value, false);
}

FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_Input(int serial, int index, int state)
{
    QueueData(serial, false, index, state, false);
}

// A sensor sample that the read thread delivers although the detach has
// been called back already (the two threads race on a real unplug).
FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_LateSensor(int serial, int index, int value)
{
    QueueData(serial, true, index, value, true);
}

// `count` sensor changes of input `index`, values first, first + 1, ...,
// raised back to back from the read thread; returns at once.
FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_SensorBurst(int serial, int index, int first, int count)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    std::weak_ptr<Control> weak = s.lastControl[serial];
    s.Reader(serial).Queue([weak, index, first, count] {
        for (int i = 0; i < count; ++i) {
            const int value = first + i;
            Callback(weak, [&](Control& c) -> std::function<void()> {
                if (!c.attached || !c.onSensor)
                    return {};
                return [h = &c, fn = c.onSensor, user = c.sensorUser, index, value] { fn(h, user, index, value); };
            });
        }
    });
}

// Returns when every callback asked for so far has been made.
FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_Flush()
{
    State& s = S();
    std::vector<Worker*> workers;
    {
        std::lock_guard<std::mutex> lock(s.m);
        workers.push_back(&s.Central());
        for (auto& [serial, w] : s.readers)
            workers.push_back(w);
    }
    // Twice: a callback on one thread may have queued work on another.
    for (int round = 0; round < 2; ++round)
        for (Worker* w : workers)
            w->Flush();
}

// Makes `function` (or every function, for "*") fail with `code` from now
// on; code 0 ends that.
FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_Fail(const char* function, int code)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    if (code == 0)
        s.failures.erase(function);
    else
        s.failures[function] = code;
}

FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_SetCurrent(int serial, int motor, double amperes)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    s.currents[serial][motor] = amperes;
}

// Copies the recorded calls, one line each ending in '\n', to `buffer`
// when it holds them and their terminating zero; returns the size needed.
FAKE_EXPORT int ZRK_PHIDGET_CALL FakePhidget21_Calls(char* buffer, int size)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    std::string all;
    for (const std::string& line : s.calls)
        all += line + '\n';
    const int needed = int(all.size()) + 1;
    if (buffer && size >= needed)
        std::memcpy(buffer, all.c_str(), std::size_t(needed));
    return needed;
}

FAKE_EXPORT void ZRK_PHIDGET_CALL FakePhidget21_ClearCalls()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    s.calls.clear();
}

// Handles created and not yet deleted (board controls and managers), and
// attached-devices arrays not yet freed.
FAKE_EXPORT int ZRK_PHIDGET_CALL FakePhidget21_LiveHandles()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    return int(s.controls.size() + s.managers.size() + s.arrays.size());
}

// Calls made on handles that were never created or deleted already.
FAKE_EXPORT int ZRK_PHIDGET_CALL FakePhidget21_Misuse()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    return s.misuse;
}

// ---- the control channels for tests in another process ----

namespace {

// Runs one command, then waits until its callbacks have been made, so that
// the sender's next command sees their effects:
//   plug <kit|motor|advservo|servo> <serial> [outputs]
//   unplug <serial>
//   sensor <serial> <index> <value>
//   input <serial> <index> <0|1>
// Returns whether the command was understood and done.
bool RunControlCommand(const std::string& text)
{
    std::istringstream in(text);
    std::string verb;
    in >> verb;
    bool done = false;
    if (verb == "plug") {
        static const char* const kKinds[] = {"kit", "motor", "advservo", "servo"};
        std::string kind;
        int serial = 0;
        in >> kind >> serial;
        int outputs = -1;
        if (!(in >> outputs))
            outputs = -1;
        for (int k = 0; k < 4; ++k)
            if (kind == kKinds[k]) {
                static const int kOutputs[] = {8, 2, 8, 4};
                done = FakePhidget21_Plug(k, serial, nullptr, outputs < 0 ? kOutputs[k] : outputs) == 0;
            }
    } else if (verb == "unplug") {
        int serial = 0;
        done = bool(in >> serial) && FakePhidget21_Unplug(serial) == 0;
    } else if (verb == "sensor" || verb == "input") {
        int serial = 0, index = 0, value = 0;
        if (in >> serial >> index >> value) {
            if (verb == "sensor")
                FakePhidget21_Sensor(serial, index, value);
            else
                FakePhidget21_Input(serial, index, value != 0 ? 1 : 0);
            done = true;
        }
    }
    if (done)
        FakePhidget21_Flush();
    return done;
}

// Runs each line appended to the file `path` names, as it comes: a line is
// taken once its newline is there. The file is looked at every 20 ms, by a
// thread of its own, to the end of the process.
void StartCommandFile(const std::string& path)
{
    std::thread([path] {
        long taken = 0;
        std::string partial;
        for (;;) {
            if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
                if (std::fseek(f, taken, SEEK_SET) == 0) {
                    char chunk[256];
                    std::size_t n;
                    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
                        taken += long(n);
                        partial.append(chunk, n);
                    }
                }
                std::fclose(f);
            }
            for (std::size_t end; (end = partial.find('\n')) != std::string::npos; partial.erase(0, end + 1))
                RunControlCommand(partial.substr(0, end));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }).detach();
}

#if defined(_WIN32)

constexpr const char* kControlWindowClass = "ZrkFakePhidget21";
constexpr const char* kControlVariable = "ZRK_FAKE_PHIDGET21_CONTROL";
// A command is one short line; anything longer is refused unread.
constexpr DWORD kMaxCommandBytes = 256;

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        if (!data || !data->lpData || data->cbData == 0 || data->cbData > kMaxCommandBytes)
            return 0;
        std::string text(static_cast<const char*>(data->lpData), data->cbData);
        text.resize(std::strlen(text.c_str()));   // a terminating zero may come along
        return RunControlCommand(text) ? 1 : 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// Its window lives on a thread of its own, to the end of the process.
void StartControlWindow()
{
    static std::once_flag once;
    std::call_once(once, [] {
        char title[128];
        const DWORD n = GetEnvironmentVariableA(kControlVariable, title, sizeof title);
        if (n == 0 || n >= sizeof title)
            return;
        std::thread([name = std::string(title, n)] {
            HINSTANCE instance = GetModuleHandleA(nullptr);
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = ControlWindowProc;
            windowClass.hInstance = instance;
            windowClass.lpszClassName = kControlWindowClass;
            if (RegisterClassA(&windowClass) == 0)
                return;
            // Never shown: a top-level window is what FindWindow finds.
            if (!CreateWindowExA(0, kControlWindowClass, name.c_str(), WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                 instance, nullptr))
                return;
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0)
                DispatchMessageA(&msg);
        }).detach();
    });
}

#endif

void StartControlChannel()
{
#if defined(_WIN32)
    StartControlWindow();
#endif
    static std::once_flag once;
    std::call_once(once, [] {
        if (const char* path = std::getenv("ZRK_FAKE_PHIDGET21_COMMANDS"); path && *path)
            StartCommandFile(path);
    });
}

} // namespace

namespace {

// A program under test that loads the library with ZRK_FAKE_PHIDGET21_BOARDS
// set finds those boards plugged in from the start: a comma-separated list
// of KIND:SERIAL, KIND one of kit, motor, advservo, servo or other (a device
// the controller does not drive). Once per process; bad entries are skipped.
void PlugFromEnvironment()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const char* list = std::getenv("ZRK_FAKE_PHIDGET21_BOARDS");
        if (!list)
            return;
        static const char* const kKinds[] = {"kit", "motor", "advservo", "servo", "other"};
        static const int kOutputs[] = {8, 2, 8, 4, 0};
        std::istringstream in(list);
        std::string entry;
        while (std::getline(in, entry, ',')) {
            const std::size_t colon = entry.find(':');
            if (colon == std::string::npos)
                continue;
            const std::string kind = entry.substr(0, colon);
            const int serial = std::atoi(entry.c_str() + colon + 1);
            for (int k = 0; k < 5; ++k)
                if (kind == kKinds[k] && serial > 0)
                    FakePhidget21_Plug(k, serial, nullptr, kOutputs[k]);
        }
    });
}

} // namespace
