#pragma once
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace zrk {

class IBoardManager;

// Raised by a board call that fails, for instance on a board that has just
// been unplugged. Callers that care catch it; every other command to a board
// that is not attached does nothing.
class BoardError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class BoardKind { InterfaceKit, MotorControl, AdvancedServo, Servo };

// What every board control offers. Opening only registers the request; the
// board announces itself later through OnAttach, delivered on the event-loop
// thread between timer events, like every other event here.
class IBoard {
public:
    virtual ~IBoard() = default;
    virtual BoardKind Kind() const = 0;
    virtual void Open(int serial) = 0;
    virtual void OpenRemote(const std::string& address, int port, int serial,
                            const std::string& password) = 0;
    // Stops events; harmless when never opened, or closed twice.
    virtual void Close() = 0;
    virtual std::string DeviceName() = 0;
    virtual int SerialNumber() = 0;
    virtual bool Attached() = 0;

    std::function<void()> OnAttach;
    std::function<void()> OnDetach;
};

class IInterfaceKit : public IBoard {
public:
    virtual void SetRatiometric(bool on) = 0;
    virtual void SetSensorChangeTrigger(int input, int trigger) = 0;
    virtual int OutputCount() = 0;
    virtual void SetOutputState(int output, bool on) = 0;

    // Input index 0..7 and the new raw value 0..1000.
    std::function<void(int input, int value)> OnSensorChange;
    // Input index 0..7 and the new state (true = contact closed).
    std::function<void(int input, bool state)> OnInputChange;
};

class IMotorControl : public IBoard {
public:
    // Percent -100..100; the sign is the direction, 0 stops.
    virtual void SetVelocity(int motor, double percent) = 0;
    virtual double Velocity(int motor) = 0;
    virtual void SetAcceleration(int motor, double value) = 0;
    // Motor current in amperes.
    virtual double Current(int motor) = 0;
};

// Both servo kinds: position and engagement.
class IServoBase : public IBoard {
public:
    virtual void SetPosition(int servo, double degrees) = 0;
    virtual double Position(int servo) = 0;
    virtual void SetEngaged(int servo, bool on) = 0;
};

class IServo : public IServoBase {};

class IAdvancedServo : public IServoBase {
public:
    virtual void SetPositionMin(int servo, double degrees) = 0;
    virtual void SetPositionMax(int servo, double degrees) = 0;
    virtual void SetSpeedRamping(int servo, bool on) = 0;
    virtual void SetVelocityLimit(int servo, double limit) = 0;
};

// Makes board controls. An implementation whose boards never attach lets
// the whole controller run with every drive idle and every input silent.
class IBoardLibrary {
public:
    virtual ~IBoardLibrary() = default;
    virtual std::unique_ptr<IInterfaceKit> CreateInterfaceKit() = 0;
    virtual std::unique_ptr<IMotorControl> CreateMotorControl() = 0;
    virtual std::unique_ptr<IAdvancedServo> CreateAdvancedServo() = 0;
    virtual std::unique_ptr<IServo> CreateServo() = 0;
    // The list of every board plugged in (BoardManager.h). A library that
    // cannot list its boards gives a manager that is not Available().
    virtual std::unique_ptr<IBoardManager> CreateManager();
};

} // namespace zrk
