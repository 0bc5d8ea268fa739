#include "telemetry/esctelemetry.h"

#include "link/byteorder.h"
#include "link/cyphalports.h"

namespace {

// Tenths, scaled in double precision and kept as a float.
float tenths(const uint8_t* p)
{
    return float(readLeI16(p) * 0.1);
}

} // namespace

bool decodeEscTelemetry(uint16_t port, const uint8_t* payload, size_t size, EscTelemetry* out)
{
    if (!payload || !out)
        return false;
    EscTelemetry t;
    t.port = port;
    if (port == kPortTelemetry) {
        if (size < kEscTelemetrySize)
            return false;
        t.first = kEscSpeed;
        t.count = 2;
        t.values[kEscSpeed] = tenths(payload);
        t.values[kEscCurrent] = tenths(payload + 2);
        t.status = readLe16(payload + 4);
        t.hasStatus = true;
    } else if (port == kPortTelemetry2) {
        if (size < kEscTelemetry2Size)
            return false;
        t.first = kEscThrottle;
        t.count = 5;
        t.values[kEscThrottle] = readLeI16(payload);
        t.values[kEscVoltage] = tenths(payload + 2);
        t.values[kEscTempMos] = float(payload[4] - kEscTempOffset);
        t.values[kEscTempCap] = float(payload[5] - kEscTempOffset);
        t.values[kEscTempMotor] = float(payload[6] - kEscTempOffset);
    } else {
        return false;
    }
    *out = t;
    return true;
}
