#ifndef FULLBUS_H
#define FULLBUS_H

// The busy bus of the line benchmarks: 32 ESCs, nodes 16 to 47 (the
// throttle test's rows 1 to 32), each sending its two one-frame telemetry
// messages `hz` times a second and a heartbeat a second, on a line paced to
// 500000 baud. At 48 Hz that is 3104 frames a second, just under the line's
// 3125; above it the simulated adapter drops what the line cannot carry.

#include "sim/escsim.h"

namespace fullbus {

constexpr int kNodes = 32;
constexpr int kFullRateHz = 48;

inline escsim::Options options(double hz)
{
    escsim::Options o;
    o.nodes.clear(); // not the default node 16 as well
    for (int n = 0; n < kNodes; ++n)
        o.nodes.push_back(uint8_t(16 + n));
    o.telemetryHz = hz;
    o.baudLimit = true;
    return o;
}

} // namespace fullbus

#endif // FULLBUS_H
