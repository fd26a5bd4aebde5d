#pragma once
#include <functional>
#include <memory>
#include <string>

#include "app/Clock.h"
#include "app/ProcessEnv.h"
#include "bridge/PanelBus.h"
#include "config/FileSystem.h"
#include "sim/IpcTransport.h"

namespace zrk {

// The operating-system adapters of the running platform, with their
// production settings.
std::unique_ptr<IProcessEnv> MakeProcessEnv();
std::unique_ptr<IClock> MakeSystemClock();
std::unique_ptr<IFileSystem> MakeDiskFileSystem();

// The bridge's data library: on Windows the bridge's DLL, whose absence
// (or missing operations) is reported once through `log`; elsewhere the
// built-in library whose records stay zero.
std::unique_ptr<IPanelBus> MakePanelBus(std::function<void(const std::string&)> log);

// The link to the simulator's interface module: on Windows the system's
// windows, atoms and mappings unless `emulate`; elsewhere, where no
// simulator runs, always the in-process emulator (on `clock`, not recording
// writes).
std::unique_ptr<IIpcTransport> MakeSimulatorTransport(bool emulate, IClock& clock);

// The folder that holds the running executable, without a trailing
// separator; "." when the operating system does not tell.
std::string ExecutableFolder();

} // namespace zrk
