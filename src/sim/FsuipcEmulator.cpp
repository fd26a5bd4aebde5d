#include "sim/FsuipcEmulator.h"

#include <cstdio>
#include <cstring>

namespace zrk {

namespace {
// The server's identification words (version and simulator signature) are
// its own: the client library version written at 0x330A is taken note of,
// but reads of 0x3308 go on showing the signature.
constexpr uint32_t kServerWordsBegin = ipc::kServerVersionOffset;
constexpr uint32_t kServerWordsEnd = ipc::kSimulatorVersionOffset + 4;
} // namespace

int64_t FsuipcWrite::Value() const
{
    const std::size_t n = bytes.size();
    if (n != 1 && n != 2 && n != 4 && n != 8)
        return 0;
    uint64_t v = 0;
    for (std::size_t i = n; i-- > 0;)
        v = v << 8 | bytes[i];
    if (n < 8 && (v >> (8 * n - 1)) & 1)
        v |= ~uint64_t(0) << (8 * n);   // sign-extend
    return static_cast<int64_t>(v);
}

std::string FsuipcWrite::Text() const
{
    char head[48];
    std::snprintf(head, sizeof head, "FSUIPC write 0x%04X %u", unsigned(offset), unsigned(size));
    std::string out = head;
    const std::size_t n = bytes.size();
    if (n == 0)
        return out;
    if (n == 1 || n == 2 || n == 4 || n == 8) {
        out += ' ' + std::to_string(Value());
    } else {
        out += " 0x";
        for (uint8_t b : bytes) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", unsigned(b));
            out += hex;
        }
    }
    return out;
}

FsuipcEmulator::FsuipcEmulator(IClock* clock) : clock_(clock), space_(kOffsetSpaceSize, 0)
{
    SetServerVersion(kDefaultServerVersion);
    SetSimulatorVersion(kDefaultSimulatorVersion);
}

void FsuipcEmulator::FailNextSends(int count, uint32_t lastError)
{
    failSends_ = count;
    failError_ = lastError;
}

void FsuipcEmulator::PeekBytes(uint32_t offset, void* out, std::size_t size) const
{
    auto* o = static_cast<uint8_t*>(out);
    for (std::size_t i = 0; i < size; ++i) {
        const uint64_t at = uint64_t(offset) + i;
        o[i] = at < kOffsetSpaceSize ? space_[std::size_t(at)] : 0;
    }
}

void FsuipcEmulator::PokeBytes(uint32_t offset, const void* bytes, std::size_t size)
{
    const auto* b = static_cast<const uint8_t*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        const uint64_t at = uint64_t(offset) + i;
        if (at < kOffsetSpaceSize)
            space_[std::size_t(at)] = b[i];
    }
}

std::string FsuipcEmulator::AtomName(uint16_t atom) const
{
    auto it = atoms_.find(atom);
    return it == atoms_.end() ? std::string() : it->second;
}

uintptr_t FsuipcEmulator::FindTopWindow(const char* className)
{
    return !windowClass.empty() && className && windowClass == className ? kWindowHandle : 0;
}

uint32_t FsuipcEmulator::RegisterMessageName(const char* name)
{
    if (failRegisterMessage || !name || std::strcmp(name, ipc::kMessageName) != 0)
        return 0;
    messageRegistered_ = true;
    return kMessageId;
}

uint16_t FsuipcEmulator::AddGlobalAtom(const char* name)
{
    if (failAddAtom || !name || !*name)
        return 0;
    while (nextAtom_ < 0xC000 || atoms_.count(nextAtom_))
        nextAtom_ = uint16_t(nextAtom_ + 1);
    const uint16_t atom = nextAtom_++;
    atoms_[atom] = name;
    return atom;
}

void FsuipcEmulator::DeleteGlobalAtom(uint16_t atom)
{
    atoms_.erase(atom);
}

IIpcTransport::Mapping FsuipcEmulator::CreateNamedMapping(const char* name, uint32_t size)
{
    if (failCreateMapping || !name || size == 0)
        return {};
    auto [it, created] = mappings_.try_emplace(name);
    if (created)
        it->second.memory.assign(size, 0);
    ++it->second.holders;
    const uintptr_t handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = name;
    return {handle, !created || mappingAlreadyExists};
}

uint8_t* FsuipcEmulator::MapBlockView(uintptr_t mapping)
{
    auto h = handles_.find(mapping);
    if (failMapView || h == handles_.end())
        return nullptr;
    MappingObject& m = mappings_.at(h->second);
    ++m.holders;
    views_.emplace(m.memory.data(), h->second);
    return m.memory.data();
}

void FsuipcEmulator::UnmapBlockView(uint8_t* view)
{
    auto it = views_.find(view);
    if (it == views_.end())
        return;
    const std::string name = it->second;
    views_.erase(it);
    Release(name);
}

void FsuipcEmulator::CloseMapping(uintptr_t mapping)
{
    auto it = handles_.find(mapping);
    if (it == handles_.end())
        return;
    const std::string name = it->second;
    handles_.erase(it);
    Release(name);
}

void FsuipcEmulator::Release(const std::string& name)
{
    auto it = mappings_.find(name);
    if (it != mappings_.end() && --it->second.holders <= 0)
        mappings_.erase(it);
}

IIpcTransport::SendResult FsuipcEmulator::SendWithTimeout(uintptr_t window, uint32_t message, uintptr_t wparam,
                                                          uintptr_t /*lparam*/, uint32_t timeoutMs)
{
    ++sendAttempts_;
    if (failSends_ > 0) {
        --failSends_;
        if (failError_ == 0 && clock_)
            clock_->Sleep(timeoutMs);
        return {false, 0, failError_};
    }
    if (windowClass.empty() || window != kWindowHandle)
        return {false, 0, kErrorInvalidWindowHandle};
    // A message the window does not know goes to its default handling.
    if (!messageRegistered_ || message != kMessageId)
        return {true, 0, 0};
    return {true, Serve(wparam), 0};
}

// Finds the block through the atom's name, as the real server does, and
// serves its requests in order. The walk stops at the terminator or at
// anything it cannot make sense of, never reading or writing past the block.
uintptr_t FsuipcEmulator::Serve(uintptr_t atom)
{
    if (atom > 0xFFFF)
        return 0;
    auto a = atoms_.find(uint16_t(atom));
    if (a == atoms_.end())
        return 0;
    auto m = mappings_.find(a->second);
    if (m == mappings_.end())
        return 0;
    uint8_t* block = m->second.memory.data();
    const std::size_t size = m->second.memory.size();

    ++exchanges_;
    if (beforeServe)
        beforeServe(block, size);
    std::size_t pos = 0;
    ipc::Request req;
    while (ipc::ReadRequest(block, size, pos, req) == ipc::Step::Request) {
        if (req.kind == ipc::kKindRead) {
            PeekBytes(req.offset, block + req.data, req.size);
        } else {
            Store(req.offset, block + req.data, req.size);
            if (recordWrites) {
                // The newest kKeptWrites at least, trimmed by halves.
                if (writes_.size() >= 2 * kKeptWrites)
                    writes_.erase(writes_.begin(), writes_.end() - std::ptrdiff_t(kKeptWrites));
                writes_.push_back({req.offset, req.size, std::vector<uint8_t>(block + req.data, block + req.next)});
            }
        }
        pos = req.next;
    }
    if (afterServe)
        afterServe(block, size);
    return replyValue;
}

void FsuipcEmulator::Store(uint32_t offset, const uint8_t* bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const uint64_t at = uint64_t(offset) + i;
        if (at < kOffsetSpaceSize && (at < kServerWordsBegin || at >= kServerWordsEnd))
            space_[std::size_t(at)] = bytes[i];
    }
}

} // namespace zrk
