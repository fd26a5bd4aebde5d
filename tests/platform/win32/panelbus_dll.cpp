// A stand-in for the bridge's data library in the Windows adapter tests.
// It exports the six operations by ordinal only, as the real DLL does (the
// .def file given with it decides which), fills the records with bytes a
// test can recognise, and keeps the order of the operations called, which
// RecordedCalls (exported by name) hands out.
#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxCalls = 64;
int g_calls[kMaxCalls];
int g_callCount = 0;

void Record(int operation) {
    if (g_callCount < kMaxCalls) g_calls[g_callCount++] = operation;
}

} // namespace

extern "C" {

int __stdcall op3() {
    Record(3);
    return 0;
}

int __stdcall op11() {
    Record(11);
    return 0;
}

// The aircraft record: on the ground (byte 420), idle reference 1.5 (the
// double at 437), and a marker in its last byte.
int __stdcall op1(uint8_t* aircraft) {
    Record(1);
    aircraft[420] = 1;
    const double idleReference = 1.5;
    std::memcpy(aircraft + 437, &idleReference, sizeof idleReference);
    aircraft[18206] = 0xA5;
    return 0;
}

// The simulator record: stabiliser trim -1234 (bytes 741..742), and a
// marker in its last byte.
int __stdcall op9(uint8_t* simulator) {
    Record(9);
    const uint16_t trim = static_cast<uint16_t>(-1234);
    simulator[741] = static_cast<uint8_t>(trim);
    simulator[742] = static_cast<uint8_t>(trim >> 8);
    simulator[1983] = 0x5A;
    return 0;
}

int __stdcall op4() {
    Record(4);
    return 0;
}

int __stdcall op12() {
    Record(12);
    return 0;
}

// Copies up to `max` operation numbers, in call order, to `out`; returns
// how many were called.
int __stdcall RecordedCalls(int* out, int max) {
    for (int i = 0; i < g_callCount && i < max; ++i) out[i] = g_calls[i];
    return g_callCount;
}

} // extern "C"
