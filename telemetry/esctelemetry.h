#ifndef ESCTELEMETRY_H
#define ESCTELEMETRY_H

// The two telemetry messages every ESC broadcasts, decoded into the values
// the throttle tab shows. Plain C++: no Qt.
//
//   EscTelemetry t;
//   if (decodeEscTelemetry(port, payload, size, &t)) ... t.values[kEscSpeed] ...
//
// Port 6160 (6 bytes, little-endian): i16 speed, i16 current, u16 status.
// Port 6161 (7 bytes): i16 throttle, i16 voltage, then the MOS, capacitor
// and motor temperatures as u8 with an offset of 40. Speed, current and
// voltage come in tenths. Only the bytes given are read: a shorter payload
// is refused whole.

#include <cstddef>
#include <cstdint>

// Channels of the telemetry rows and of the live chart, in this order.
enum EscChannel {
    kEscSpeed,
    kEscCurrent,
    kEscThrottle,
    kEscVoltage,
    kEscTempMos,
    kEscTempCap,
    kEscTempMotor,
    kEscChannelCount
};

struct EscTelemetry {
    uint16_t port = 0;
    // The channels this message carries: [first, first + count).
    int first = 0;
    int count = 0;
    float values[kEscChannelCount] = {};
    uint16_t status = 0;        // port 6160 only
    bool hasStatus = false;
};

constexpr size_t kEscTelemetrySize = 6;   // port 6160
constexpr size_t kEscTelemetry2Size = 7;  // port 6161
constexpr int kEscTempOffset = 40;

// False for another port, a null payload or too few bytes.
bool decodeEscTelemetry(uint16_t port, const uint8_t* payload, size_t size, EscTelemetry* out);

#endif // ESCTELEMETRY_H
