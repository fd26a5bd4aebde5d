#pragma once
// The C interface of the board maker's phidget21 library, as far as the
// controller uses it, declared from the maker's published API: the library
// is loaded at run time, so there is no build-time dependency on its
// headers or its import library.
//
// Handles are opaque pointers. Every call returns an int, 0 meaning
// success; any other value is an error code that the library describes in
// words. Calls and callbacks use __stdcall on 32-bit Windows (the
// attribute is ignored on 64-bit Windows) and the C convention elsewhere.

#if defined(_WIN32)
#define ZRK_PHIDGET_CALL __stdcall
#else
#define ZRK_PHIDGET_CALL
#endif

namespace zrk::phidget21 {

// Every board control of the library, whatever its kind. The library's
// own typed handles are the same pointer.
struct Control;
using Handle = Control*;
// The library's manager: the list of every device plugged in.
struct Manager;
using ManagerHandle = Manager*;

// Device status.
constexpr int kNotAttached = 0;
constexpr int kAttached = 1;

// Error codes the controller tells apart (the full list is longer).
constexpr int kOk = 0;
constexpr int kInvalidArgument = 4;
constexpr int kNotAttachedError = 5;
constexpr int kUnsupported = 11;

// Device classes (CPhidget_DeviceClass) of the boards the controller
// drives; the library has more.
constexpr int kClassAdvancedServo = 3;
constexpr int kClassInterfaceKit = 7;
constexpr int kClassMotorControl = 9;
constexpr int kClassServo = 12;

// Callbacks. The return value is ignored by the library; 0 is returned.
using AttachHandler = int(ZRK_PHIDGET_CALL*)(Handle board, void* user);
using SensorChangeHandler = int(ZRK_PHIDGET_CALL*)(Handle kit, void* user, int index, int value);
using InputChangeHandler = int(ZRK_PHIDGET_CALL*)(Handle kit, void* user, int index, int state);

// The functions, by their exported names. A null member is a function the
// loaded library does not export.
struct Api {
    // ---- every board ----
    int(ZRK_PHIDGET_CALL* CPhidget_open)(Handle, int serial);
    int(ZRK_PHIDGET_CALL* CPhidget_openRemoteIP)(Handle, int serial, const char* address, int port,
                                                 const char* password);
    int(ZRK_PHIDGET_CALL* CPhidget_close)(Handle);
    int(ZRK_PHIDGET_CALL* CPhidget_delete)(Handle);
    int(ZRK_PHIDGET_CALL* CPhidget_getDeviceName)(Handle, const char** name);
    int(ZRK_PHIDGET_CALL* CPhidget_getSerialNumber)(Handle, int* serial);
    int(ZRK_PHIDGET_CALL* CPhidget_getDeviceStatus)(Handle, int* status);
    int(ZRK_PHIDGET_CALL* CPhidget_set_OnAttach_Handler)(Handle, AttachHandler, void* user);
    int(ZRK_PHIDGET_CALL* CPhidget_set_OnDetach_Handler)(Handle, AttachHandler, void* user);
    int(ZRK_PHIDGET_CALL* CPhidget_getErrorDescription)(int code, const char** text);
    // The class is an enumeration of int size.
    int(ZRK_PHIDGET_CALL* CPhidget_getDeviceClass)(Handle, int* deviceClass);
    int(ZRK_PHIDGET_CALL* CPhidget_getDeviceVersion)(Handle, int* version);

    // ---- manager ----
    int(ZRK_PHIDGET_CALL* CPhidgetManager_create)(ManagerHandle*);
    int(ZRK_PHIDGET_CALL* CPhidgetManager_open)(ManagerHandle);
    int(ZRK_PHIDGET_CALL* CPhidgetManager_close)(ManagerHandle);
    int(ZRK_PHIDGET_CALL* CPhidgetManager_delete)(ManagerHandle);
    // The handle a manager callback gets describes the device during the
    // callback only.
    int(ZRK_PHIDGET_CALL* CPhidgetManager_set_OnAttach_Handler)(ManagerHandle, AttachHandler, void* user);
    int(ZRK_PHIDGET_CALL* CPhidgetManager_set_OnDetach_Handler)(ManagerHandle, AttachHandler, void* user);
    // An array the library allocates, freed through the library.
    int(ZRK_PHIDGET_CALL* CPhidgetManager_getAttachedDevices)(ManagerHandle, Handle** devices, int* count);
    int(ZRK_PHIDGET_CALL* CPhidgetManager_freeAttachedDevicesArray)(Handle* devices);

    // ---- interface kit ----
    int(ZRK_PHIDGET_CALL* CPhidgetInterfaceKit_create)(Handle*);
    int(ZRK_PHIDGET_CALL* CPhidgetInterfaceKit_setRatiometric)(Handle, int on);
    int(ZRK_PHIDGET_CALL* CPhidgetInterfaceKit_setSensorChangeTrigger)(Handle, int index, int trigger);
    int(ZRK_PHIDGET_CALL* CPhidgetInterfaceKit_getOutputCount)(Handle, int* count);
    int(ZRK_PHIDGET_CALL* CPhidgetInterfaceKit_setOutputState)(Handle, int index, int on);
    int(ZRK_PHIDGET_CALL* CPhidgetInterfaceKit_set_OnSensorChange_Handler)(Handle, SensorChangeHandler, void* user);
    int(ZRK_PHIDGET_CALL* CPhidgetInterfaceKit_set_OnInputChange_Handler)(Handle, InputChangeHandler, void* user);

    // ---- motor controller ----
    int(ZRK_PHIDGET_CALL* CPhidgetMotorControl_create)(Handle*);
    int(ZRK_PHIDGET_CALL* CPhidgetMotorControl_setVelocity)(Handle, int index, double percent);
    int(ZRK_PHIDGET_CALL* CPhidgetMotorControl_getVelocity)(Handle, int index, double* percent);
    int(ZRK_PHIDGET_CALL* CPhidgetMotorControl_setAcceleration)(Handle, int index, double value);
    int(ZRK_PHIDGET_CALL* CPhidgetMotorControl_getCurrent)(Handle, int index, double* amperes);

    // ---- advanced servo board ----
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_create)(Handle*);
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_setPosition)(Handle, int index, double degrees);
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_getPosition)(Handle, int index, double* degrees);
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_setPositionMin)(Handle, int index, double degrees);
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_setPositionMax)(Handle, int index, double degrees);
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_setEngaged)(Handle, int index, int on);
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_setSpeedRampingOn)(Handle, int index, int on);
    int(ZRK_PHIDGET_CALL* CPhidgetAdvancedServo_setVelocityLimit)(Handle, int index, double limit);

    // ---- simple servo board ----
    int(ZRK_PHIDGET_CALL* CPhidgetServo_create)(Handle*);
    int(ZRK_PHIDGET_CALL* CPhidgetServo_setPosition)(Handle, int index, double degrees);
    int(ZRK_PHIDGET_CALL* CPhidgetServo_getPosition)(Handle, int index, double* degrees);
    int(ZRK_PHIDGET_CALL* CPhidgetServo_setEngaged)(Handle, int index, int on);
};

} // namespace zrk::phidget21
