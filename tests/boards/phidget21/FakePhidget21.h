#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/VirtualWorld.h"
#include "boards/Phidget21Api.h"
#include "boards/Phidget21Library.h"
#include "platform/Platform.h"
#include "support/Rig.h"

namespace zrk::test {

// The fake board library built beside the tests (fake_phidget21.cpp),
// loaded the way the program loads the real one, and its control
// interface. Every load of it shares one instance.
class FakePhidget21 {
public:
    // The fake's file name, in the folder of the test executable.
    static std::string File() { return ZRK_FAKE_PHIDGET21_FILE; }
    static std::string Path()
    {
#if defined(_WIN32)
        return ExecutableFolder() + "\\" + File();
#else
        return ExecutableFolder() + "/" + File();
#endif
    }
    static std::unique_ptr<IDynamicLibrary> Load()
    {
        std::string whyNot;
        auto library = LoadDynamicLibrary(Path(), &whyNot);
        EXPECT_TRUE(library) << Path() << ": " << whyNot;
        return library;
    }

    FakePhidget21() : library_(Load())
    {
        Bind(reset_, "FakePhidget21_Reset");
        Bind(plug_, "FakePhidget21_Plug");
        Bind(plugBoard_, "FakePhidget21_PlugBoard");
        Bind(unplug_, "FakePhidget21_Unplug");
        Bind(sensor_, "FakePhidget21_Sensor");
        Bind(input_, "FakePhidget21_Input");
        Bind(lateSensor_, "FakePhidget21_LateSensor");
        Bind(burst_, "FakePhidget21_SensorBurst");
        Bind(flush_, "FakePhidget21_Flush");
        Bind(fail_, "FakePhidget21_Fail");
        Bind(setCurrent_, "FakePhidget21_SetCurrent");
        Bind(calls_, "FakePhidget21_Calls");
        Bind(clearCalls_, "FakePhidget21_ClearCalls");
        Bind(liveHandles_, "FakePhidget21_LiveHandles");
        Bind(misuse_, "FakePhidget21_Misuse");
        reset_();
    }
    // Every test leaves the library as it found it: no handle alive, none
    // misused.
    ~FakePhidget21()
    {
        flush_();
        EXPECT_EQ(liveHandles_(), 0) << "handles the program did not delete";
        EXPECT_EQ(misuse_(), 0) << "calls on handles that were not alive";
        reset_();
    }

    void Plug(BoardKind kind, int serial, const char* name = nullptr, int outputs = -1)
    {
        static const int kOutputs[] = {8, 2, 8, 4};
        ASSERT_EQ(plug_(int(kind), serial, name, outputs < 0 ? kOutputs[int(kind)] : outputs), 0);
    }
    // A board with its firmware version; a kind of nothing is a device the
    // controller does not drive.
    void PlugBoard(std::optional<BoardKind> kind, int serial, const char* name, int version)
    {
        static const int kOutputs[] = {8, 2, 8, 4, 2};
        const int k = kind ? int(*kind) : 4;
        ASSERT_EQ(plugBoard_(k, serial, name, kOutputs[k], version), 0);
    }
    void Unplug(int serial) { ASSERT_EQ(unplug_(serial), 0); }
    void Sensor(int serial, int index, int value) { sensor_(serial, index, value); }
    void Input(int serial, int index, bool closed) { input_(serial, index, closed ? 1 : 0); }
    void LateSensor(int serial, int index, int value) { lateSensor_(serial, index, value); }
    void SensorBurst(int serial, int index, int first, int count) { burst_(serial, index, first, count); }
    // Waits until the library's threads have made every callback asked for.
    void Flush() { flush_(); }
    void Fail(const std::string& function, int code) { fail_(function.c_str(), code); }
    void SetCurrent(int serial, int motor, double amperes) { setCurrent_(serial, motor, amperes); }
    void ClearCalls() { clearCalls_(); }
    int LiveHandles() { return liveHandles_(); }

    // The calls made so far, "function serial arguments...", optionally
    // only those starting with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix = {})
    {
        // The library's own thread may log a call between asking the size
        // and copying: the copy is made again until it fits.
        std::string text;
        for (;;) {
            text.assign(std::size_t(calls_(nullptr, 0)), '\0');
            const int needed = calls_(text.data(), int(text.size()));
            if (std::size_t(needed) <= text.size()) {
                text.resize(std::size_t(needed) - 1);
                break;
            }
        }
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (line.compare(0, prefix.size(), prefix) == 0)
                lines.push_back(std::move(line));
        }
        return lines;
    }

private:
    template <class Fn>
    void Bind(Fn& slot, const char* name)
    {
        slot = library_ ? reinterpret_cast<Fn>(library_->Find(name)) : nullptr;
        if (!slot)
            throw std::runtime_error(std::string("the fake board library has no ") + name);
    }

    std::unique_ptr<IDynamicLibrary> library_;
    void(ZRK_PHIDGET_CALL* reset_)() = nullptr;
    int(ZRK_PHIDGET_CALL* plug_)(int, int, const char*, int) = nullptr;
    int(ZRK_PHIDGET_CALL* plugBoard_)(int, int, const char*, int, int) = nullptr;
    int(ZRK_PHIDGET_CALL* unplug_)(int) = nullptr;
    void(ZRK_PHIDGET_CALL* sensor_)(int, int, int) = nullptr;
    void(ZRK_PHIDGET_CALL* input_)(int, int, int) = nullptr;
    void(ZRK_PHIDGET_CALL* lateSensor_)(int, int, int) = nullptr;
    void(ZRK_PHIDGET_CALL* burst_)(int, int, int, int) = nullptr;
    void(ZRK_PHIDGET_CALL* flush_)() = nullptr;
    void(ZRK_PHIDGET_CALL* fail_)(const char*, int) = nullptr;
    void(ZRK_PHIDGET_CALL* setCurrent_)(int, int, double) = nullptr;
    int(ZRK_PHIDGET_CALL* calls_)(char*, int) = nullptr;
    void(ZRK_PHIDGET_CALL* clearCalls_)() = nullptr;
    int(ZRK_PHIDGET_CALL* liveHandles_)() = nullptr;
    int(ZRK_PHIDGET_CALL* misuse_)() = nullptr;
};

// The fake library seen through another export table: some functions
// hidden, or every function only under a decorated name.
class Renamed : public IDynamicLibrary {
public:
    enum class Names { Plain, StdcallDecorated, MingwDecorated };
    Renamed(Names names, std::set<std::string> hidden = {})
        : inner_(FakePhidget21::Load()), names_(names), hidden_(std::move(hidden))
    {
    }

    Function Find(const std::string& name) override
    {
        asked.push_back(name);
        std::string plain = name;
        if (names_ != Names::Plain) {
            const std::size_t at = plain.find('@');
            const bool underscore = !plain.empty() && plain[0] == '_';
            if (at == std::string::npos || underscore != (names_ == Names::StdcallDecorated))
                return nullptr;
            plain = plain.substr(underscore ? 1 : 0, at - (underscore ? 1 : 0));
        }
        return hidden_.count(plain) ? nullptr : inner_->Find(plain);
    }
    std::string Path() const override { return "phidget21-test"; }

    std::vector<std::string> asked;

private:
    std::unique_ptr<IDynamicLibrary> inner_;
    Names names_;
    std::set<std::string> hidden_;
};

// The whole controller as Rig runs it, but on the board backend over the
// fake library: the library's threads post into the test host, whose loop
// the test runs.
struct RealBoardsRig : VirtualWorld {
    RealBoardsRig()
        : library(MakeBoardLibrary(host, false, [this](const std::string& line) { LogLine(line); },
                                   ExecutableFolder(), FakePhidget21::File()))
    {
    }
    ~RealBoardsRig()
    {
        // The controls go first, while the library they came from lives.
        form.reset();
        library.reset();
    }

    TForm1& Start(const std::string& config)
    {
        files.Put(kConfigPath, config);
        form = std::make_unique<TForm1>(
            Ports{host, host, process, dialogs, files, *library, kExeFolder, socket, panelBus, sim});
        host.Bind(form.get());
        form->FormCreate();
        return *form;
    }

    // Lets the library's threads make the callbacks asked for, then runs
    // the controller for `ms` of virtual time (delivering them first).
    void Settle(uint64_t ms = 0)
    {
        fake.Flush();
        host.RunFor(ms);
    }

    // The controller's log without time stamps, after the lines the board
    // library logged before the controller existed.
    std::vector<std::string> Log() const
    {
        std::vector<std::string> out = early;
        if (form)
            for (const std::string& l : form->Memo1.Lines())
                out.push_back(l.size() > 11 ? l.substr(11) : l);
        return out;
    }

    FakePhidget21 fake;
    std::vector<std::string> early;
    // Before the library, whose log lines go to it once it exists.
    std::unique_ptr<TForm1> form;
    std::unique_ptr<IBoardLibrary> library;

private:
    void LogLine(const std::string& line)
    {
        if (form)
            form->Log(line);
        else
            early.push_back(line);
    }
};

} // namespace zrk::test
