#pragma once
#include <cstddef>
#include <cstdint>

namespace zrk::ipc {

// The shared block exchanged with the simulator's interface module.
// Requests lie back to back from its start, every field a little-endian u32:
//   read  (kind 1): kind, offset, size, token, then `size` reply bytes
//   write (kind 2): kind, offset, size, then `size` data bytes
// A kind whose low byte is 0 ends the list.
inline constexpr uint32_t kBlockSize = 0x8000;
// A request is accepted only while everything queued, the request and the
// 4-byte terminator stay within this many bytes.
inline constexpr uint32_t kFillLimit = 0x7F00;
inline constexpr uint32_t kTerminatorSize = 4;

inline constexpr uint32_t kKindRead = 1;
inline constexpr uint32_t kKindWrite = 2;
inline constexpr uint32_t kReadHeaderSize = 16;
inline constexpr uint32_t kWriteHeaderSize = 12;

inline constexpr const char* kMessageName = "FsasmLib:IPC";
inline constexpr const char* kServerWindowClass = "UIPCMAIN";
inline constexpr const char* kFallbackWindowClass = "FS98MAIN";

// Offsets of the handshake.
inline constexpr uint32_t kServerVersionOffset = 0x3304;
inline constexpr uint32_t kSimulatorVersionOffset = 0x3308;
inline constexpr uint32_t kClientVersionOffset = 0x330A;

inline uint32_t Load32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void Store32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// One request found while walking a block.
struct Request {
    uint32_t kind = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t token = 0;        // reads only
    std::size_t data = 0;      // position of the reply or data bytes
    std::size_t next = 0;      // position of the following request
};

enum class Step {
    Request,   // `out` describes a well-formed request inside the block
    End,       // the terminator
    Garbled,   // unknown kind, or a header or data running past the block
};

// Decodes the request at `pos` of a `blockSize`-byte block without reading
// past the block, whatever the bytes say.
inline Step ReadRequest(const uint8_t* block, std::size_t blockSize, std::size_t pos, Request& out)
{
    if (pos > blockSize || blockSize - pos < 4)
        return Step::Garbled;
    const uint32_t kind = Load32(block + pos);
    if ((kind & 0xFF) == 0)
        return Step::End;
    std::size_t header;
    if (kind == kKindRead)
        header = kReadHeaderSize;
    else if (kind == kKindWrite)
        header = kWriteHeaderSize;
    else
        return Step::Garbled;
    if (blockSize - pos < header)
        return Step::Garbled;
    out.kind = kind;
    out.offset = Load32(block + pos + 4);
    out.size = Load32(block + pos + 8);
    out.token = kind == kKindRead ? Load32(block + pos + 12) : 0;
    out.data = pos + header;
    if (out.size > blockSize - out.data)
        return Step::Garbled;
    out.next = out.data + out.size;
    return Step::Request;
}

} // namespace zrk::ipc
