#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace zrk {

// Reads and writes little-endian values at any byte address, assembling
// them byte by byte: no alignment is assumed and the host's own byte order
// does not matter. Reals are IEEE 754 doubles.

template <class T>
T LoadLittleEndian(const uint8_t* p)
{
    if constexpr (std::is_same_v<T, double>) {
        static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);
        return std::bit_cast<double>(LoadLittleEndian<uint64_t>(p));
    } else {
        static_assert(std::is_integral_v<T>);
        using U = std::make_unsigned_t<T>;
        U u = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            u = static_cast<U>(u | static_cast<U>(static_cast<U>(p[i]) << (8 * i)));
        return static_cast<T>(u);
    }
}

template <class T>
void StoreLittleEndian(uint8_t* p, T value)
{
    if constexpr (std::is_same_v<T, double>) {
        static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);
        StoreLittleEndian<uint64_t>(p, std::bit_cast<uint64_t>(value));
    } else {
        static_assert(std::is_integral_v<T>);
        using U = std::make_unsigned_t<T>;
        const U u = static_cast<U>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            p[i] = static_cast<uint8_t>(u >> (8 * i));
    }
}

} // namespace zrk
