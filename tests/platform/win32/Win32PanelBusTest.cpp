#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "TestProcess.h"
#include "bridge/Snapshots.h"
#include "platform/Platform.h"
#include "platform/win32/Win32PanelBus.h"

namespace zrk::test {
namespace {

namespace fs = std::filesystem;

// The test library built from panelbus_dll.cpp, full or without operation 9.
const char* const kFullLibrary = "zrk_test_panelbus.dll";
const char* const kLibraryWithout9 = "zrk_test_panelbus_partial.dll";

// Working directory `folder` for the scope.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~WorkingDirectory() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

// An installation beside a working directory "run": `library` (if any) as
// NET_BRIDGE\PANELBUS.dll, where the default path finds it from "run".
struct Installation {
    explicit Installation(const char* library) {
        fs::create_directories(folder.Path() / "run");
        fs::create_directories(folder.Path() / "NET_BRIDGE");
        if (library) fs::copy_file(fs::path(ExecutableFolder()) / library, Dll());
    }
    fs::path Dll() const { return folder.Path() / "NET_BRIDGE" / "PANELBUS.dll"; }
    fs::path Run() const { return folder.Path() / "run"; }
    TempFolder folder;
};

// The operations the loaded test library at `dll` has seen, in order.
std::vector<int> RecordedCalls(const fs::path& dll) {
    // The same file again: the module already loaded, with its state.
    HMODULE module = LoadLibraryA(dll.string().c_str());
    if (module == nullptr) return {};
    using Fn = int(__stdcall*)(int*, int);
    const auto fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "RecordedCalls")));
    std::vector<int> calls(32);
    calls.resize(fn ? static_cast<std::size_t>(fn(calls.data(), static_cast<int>(calls.size()))) : 0);
    FreeLibrary(module);
    return calls;
}

void RunLifecycle(IPanelBus& bus, AircraftSnapshot& aircraft, SimulatorSnapshot& simulator) {
    bus.Operation3();
    bus.Operation11();
    CopySnapshots(bus, aircraft, simulator);
    bus.Operation4();
    bus.Operation12();
}

TEST(Win32PanelBus, TheProgramsLibraryIsFoundBesideTheWorkingDirectoryAndCalledByOrdinal) {
    Installation installation(kFullLibrary);
    std::vector<std::string> logged;
    WorkingDirectory run(installation.Run());
    auto bus = MakePanelBus([&](const std::string& line) { logged.push_back(line); });

    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    RunLifecycle(*bus, aircraft, simulator);

    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(RecordedCalls(installation.Dll()), (std::vector<int>{3, 11, 1, 9, 4, 12}));
    EXPECT_EQ(aircraft.on_ground(), 1);
    EXPECT_EQ(aircraft.at_idle_ref(), 1.5);
    EXPECT_EQ(aircraft.data()[kAircraftSnapshotSize - 1], 0xA5);
    EXPECT_EQ(simulator.stab_trim_value(), -1234);
    EXPECT_EQ(simulator.data()[kSimulatorSnapshotSize - 1], 0x5A);
}

TEST(Win32PanelBus, WithoutALoadableLibraryEveryRecordStaysZeroAndThatIsLoggedOnce) {
    const struct {
        const char* name;
        bool garbageFile;
        std::string expectedStart;
    } cases[] = {
        {"no file", false, "PANELBUS.dll not found (..\\NET_BRIDGE\\PANELBUS.dll): running on zero aircraft data"},
        // Not a DLL, as a library of the wrong architecture is not one here.
        {"not a DLL", true, "PANELBUS.dll could not be loaded (..\\NET_BRIDGE\\PANELBUS.dll, error "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Installation installation(nullptr);
        if (c.garbageFile) std::ofstream(installation.Dll()) << "not a library";
        std::vector<std::string> logged;
        WorkingDirectory run(installation.Run());
        Win32PanelBus bus([&](const std::string& line) { logged.push_back(line); });

        AircraftSnapshot aircraft;
        SimulatorSnapshot simulator;
        aircraft.set_on_ground(7);
        simulator.set_stab_trim_value(7);
        RunLifecycle(bus, aircraft, simulator);
        RunLifecycle(bus, aircraft, simulator);

        EXPECT_FALSE(bus.Loaded());
        EXPECT_EQ(aircraft, AircraftSnapshot());
        EXPECT_EQ(simulator, SimulatorSnapshot());
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].rfind(c.expectedStart, 0), 0u) << logged[0];
        EXPECT_NE(logged[0].find("running on zero aircraft data"), std::string::npos) << logged[0];
    }
}

TEST(Win32PanelBus, AMissingOperationIsLoggedOnceAndSkippedWhileTheOthersWork) {
    TempFolder folder;
    const fs::path dll = folder.Path() / "PANELBUS.dll";
    fs::copy_file(fs::path(ExecutableFolder()) / kLibraryWithout9, dll);
    std::vector<std::string> logged;
    Win32PanelBus bus([&](const std::string& line) { logged.push_back(line); }, dll.string());

    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    RunLifecycle(bus, aircraft, simulator);
    RunLifecycle(bus, aircraft, simulator);

    EXPECT_TRUE(bus.Loaded());
    EXPECT_EQ(logged, std::vector<std::string>{"PANELBUS.dll has no operation 9 (" + dll.string()
                                               + "): that operation is skipped"});
    EXPECT_EQ(RecordedCalls(dll), (std::vector<int>{3, 11, 1, 4, 12, 3, 11, 1, 4, 12}));
    EXPECT_EQ(aircraft.on_ground(), 1);
    EXPECT_EQ(simulator, SimulatorSnapshot());
}

} // namespace
} // namespace zrk::test
