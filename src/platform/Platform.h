#pragma once
#include <memory>
#include <string>

#include "app/Clock.h"
#include "app/ProcessEnv.h"
#include "config/FileSystem.h"

namespace zrk {

// The operating-system adapters of the running platform, with their
// production settings.
std::unique_ptr<IProcessEnv> MakeProcessEnv();
std::unique_ptr<IClock> MakeSystemClock();
std::unique_ptr<IFileSystem> MakeDiskFileSystem();

// The folder that holds the running executable, without a trailing
// separator; "." when the operating system does not tell.
std::string ExecutableFolder();

} // namespace zrk
