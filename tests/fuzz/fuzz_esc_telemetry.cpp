// Telemetry messages as any node may send them: the first input byte picks
// the port (6160, 6161 or another), the rest is the payload. The decoder
// reads only the bytes given and keeps its values in their ranges.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/cyphalports.h"
#include "telemetry/esctelemetry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const uint16_t kPorts[] = {kPortTelemetry, kPortTelemetry2, kPortTelemetryExtra};
    const uint16_t port = kPorts[data[0] % 3];
    // An exact-size copy, so that a read past the end is caught.
    std::vector<uint8_t> payload(data + 1, data + size);
    EscTelemetry t;
    const bool ok = decodeEscTelemetry(port, payload.data(), payload.size(), &t);
    if (!ok)
        return 0;
    if (t.first < 0 || t.count < 0 || t.first + t.count > kEscChannelCount)
        std::abort();
    for (int c = t.first; c < t.first + t.count; ++c) {
        const float v = t.values[c];
        if (!(v >= -32768.0f && v <= 32767.0f))
            std::abort();
        if (c >= kEscTempMos && !(v >= -40.0f && v <= 215.0f))
            std::abort();
    }
    return 0;
}
