#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "ports/Clock.h"
#include "sim/IpcBlock.h"
#include "sim/IpcTransport.h"

namespace zrk {

// One write request the emulated server carried out.
struct FsuipcWrite {
    uint32_t offset = 0;
    uint32_t size = 0;
    std::vector<uint8_t> bytes;

    // The bytes as a little-endian signed integer (writes of 1, 2, 4 or 8
    // bytes; 0 otherwise).
    int64_t Value() const;
    // "FSUIPC write 0x52FA 2 100": offset, size, and the value, or the
    // bytes in hex for other sizes (nothing for an empty write).
    std::string Text() const;
    bool operator==(const FsuipcWrite&) const = default;
};

// The simulator's interface module in-process: its window, its registered
// message, the global atoms and named mappings of the system, and a 64 KiB
// offset space that serves the request block exactly as the real server
// does. Used by the tests and as the program's embedded default. Every
// primitive can be made to fail, and hooks can watch or damage the block
// around each exchange.
class FsuipcEmulator : public IIpcTransport {
public:
    static constexpr uint32_t kOffsetSpaceSize = 0x10000;
    static constexpr uintptr_t kWindowHandle = 0x5E0A;
    static constexpr uint32_t kMessageId = 0xC0F3;
    // What a send reports when its window is gone (ERROR_INVALID_WINDOW_HANDLE).
    static constexpr uint32_t kErrorInvalidWindowHandle = 1400;
    static constexpr uint32_t kDefaultServerVersion = 0x40000000;
    static constexpr uint32_t kDefaultSimulatorVersion = 0xFADE000C;

    // With a clock, a send that times out takes its time-out on it.
    explicit FsuipcEmulator(IClock* clock = nullptr);

    // ---- the server and the system it runs on ----
    // Class of the server window; empty: no server running.
    std::string windowClass = ipc::kServerWindowClass;
    // What the server returns for an exchange (1 = success).
    uintptr_t replyValue = 1;
    uint32_t processId = 0x1A2B;
    bool failRegisterMessage = false;
    bool failAddAtom = false;
    bool failCreateMapping = false;
    // The mapping name is taken already (the handle is still returned).
    bool mappingAlreadyExists = false;
    bool failMapView = false;
    // The next `count` sends fail: with `lastError` 0 as time-outs, else
    // with that system error.
    void FailNextSends(int count, uint32_t lastError);

    // Called with the block just before and just after the server walks it
    // (only for exchanges that reach the block).
    std::function<void(uint8_t* block, std::size_t size)> beforeServe, afterServe;

    // ---- the offset space (little-endian, out-of-range bytes read as 0
    // and are not written) ----
    void PeekBytes(uint32_t offset, void* out, std::size_t size) const;
    void PokeBytes(uint32_t offset, const void* bytes, std::size_t size);
    template <class T>
    T Peek(uint32_t offset) const
    {
        static_assert(std::is_integral_v<T>);
        uint8_t b[sizeof(T)];
        PeekBytes(offset, b, sizeof b);
        std::make_unsigned_t<T> v = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            v = static_cast<std::make_unsigned_t<T>>(static_cast<uint64_t>(v) << 8 | b[i]);
        return static_cast<T>(v);
    }
    template <class T>
    void Poke(uint32_t offset, T value)
    {
        static_assert(std::is_integral_v<T>);
        uint8_t b[sizeof(T)];
        const auto v = static_cast<std::make_unsigned_t<T>>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            b[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
        PokeBytes(offset, b, sizeof b);
    }
    void SetServerVersion(uint32_t v) { Poke(ipc::kServerVersionOffset, v); }
    void SetSimulatorVersion(uint32_t v) { Poke(ipc::kSimulatorVersionOffset, v); }

    // ---- what happened ----
    // Whether served writes are recorded; a long-running program that never
    // reads them back turns it off.
    bool recordWrites = true;
    // Every write request served, in order: the newest kKeptWrites at
    // least, so that a long run that never clears them keeps its memory.
    static constexpr std::size_t kKeptWrites = 4096;
    const std::vector<FsuipcWrite>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }
    // Sends attempted (failed ones too), and exchanges served.
    int SendAttempts() const { return sendAttempts_; }
    int Exchanges() const { return exchanges_; }
    std::size_t LiveAtoms() const { return atoms_.size(); }
    std::size_t LiveMappingHandles() const { return handles_.size(); }
    std::size_t LiveViews() const { return views_.size(); }
    // The name of an atom, empty when it does not exist.
    std::string AtomName(uint16_t atom) const;
    bool MappingExists(const std::string& name) const { return mappings_.count(name) != 0; }

    // ---- IIpcTransport ----
    uintptr_t FindTopWindow(const char* className) override;
    uint32_t RegisterMessageName(const char* name) override;
    uint16_t AddGlobalAtom(const char* name) override;
    void DeleteGlobalAtom(uint16_t atom) override;
    Mapping CreateNamedMapping(const char* name, uint32_t size) override;
    uint8_t* MapBlockView(uintptr_t mapping) override;
    void UnmapBlockView(uint8_t* view) override;
    void CloseMapping(uintptr_t mapping) override;
    SendResult SendWithTimeout(uintptr_t window, uint32_t message, uintptr_t wparam, uintptr_t lparam,
                               uint32_t timeoutMs) override;
    uint32_t CurrentProcessId() override { return processId; }

private:
    struct MappingObject {
        std::vector<uint8_t> memory;
        int holders = 0;   // open handles and views
    };
    void Release(const std::string& name);
    uintptr_t Serve(uintptr_t atom);
    void Store(uint32_t offset, const uint8_t* bytes, std::size_t size);

    IClock* clock_;
    std::vector<uint8_t> space_;
    bool messageRegistered_ = false;
    std::map<uint16_t, std::string> atoms_;
    uint16_t nextAtom_ = 0xC001;
    std::map<std::string, MappingObject> mappings_;
    std::map<uintptr_t, std::string> handles_;
    uintptr_t nextHandle_ = 0x100;
    std::multimap<const uint8_t*, std::string> views_;
    int failSends_ = 0;
    uint32_t failError_ = 0;
    int sendAttempts_ = 0;
    int exchanges_ = 0;
    std::vector<FsuipcWrite> writes_;
};

} // namespace zrk
