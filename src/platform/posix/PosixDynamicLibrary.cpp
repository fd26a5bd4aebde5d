#include <dlfcn.h>
#if defined(__GLIBC__)
#include <link.h>
#endif

#include <cstdint>
#include <string>

#include "boards/Phidget21Library.h"
#include "platform/Platform.h"

namespace zrk {

namespace {

// A library loaded with dlopen. It stays loaded until the process ends: a
// library that runs threads of its own (as the board library does) cannot
// be unloaded safely while one of them may still be running.
class PosixDynamicLibrary : public IDynamicLibrary {
public:
    PosixDynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}

    Function Find(const std::string& name) override {
        // The detour over an integer is the conversion from object to
        // function pointer that POSIX guarantees for dlsym.
        void* symbol = dlsym(handle_, name.c_str());
        return reinterpret_cast<Function>(reinterpret_cast<uintptr_t>(symbol));
    }

    std::string Path() const override {
#if defined(__GLIBC__)
        struct link_map* map = nullptr;
        if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) return map->l_name;
#endif
        return path_;
    }

private:
    void* handle_;
    std::string path_;
};

} // namespace

const char* const kBoardLibraryFile = "libphidget21.so.0";

std::unique_ptr<IDynamicLibrary> LoadDynamicLibrary(const std::string& path, std::string* whyNot) {
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) return std::make_unique<PosixDynamicLibrary>(handle, path);
    if (whyNot) {
        const char* error = dlerror();
        *whyNot = error ? error : "unknown reason";
        // Not being there is not an error worth its text.
        if (whyNot->find("No such file or directory") != std::string::npos) whyNot->clear();
    }
    return nullptr;
}

} // namespace zrk
