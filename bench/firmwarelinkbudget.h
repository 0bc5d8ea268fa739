#ifndef FIRMWARELINKBUDGET_H
#define FIRMWARELINKBUDGET_H

// What the adapter's line allows for firmware writes: the yardstick the
// firmware benchmarks divide their measured times by.

#include "link/subserialtqthread.h"

namespace linkbudget {

constexpr double kFramesPerSecond = 3125.0; // 500000 baud, 16-byte frames
constexpr int kFramesPerWrite = 40;         // 272-byte request: 39 x 7 + 1
constexpr int kFramesFinalWrite = 3;        // 16-byte request

// One part of `chunks` 256-byte writes and its closing write: the frames
// out, one acknowledgement frame back per write, and the pacing before each
// write but the first.
inline double partSeconds(int chunks)
{
    const double framesOut = chunks * kFramesPerWrite + kFramesFinalWrite;
    const double framesBack = chunks + 1;
    return (framesOut + framesBack) / kFramesPerSecond +
           (chunks - 1) * subSerialTQThread::kFirmwarePacingMs / 1000.0;
}

} // namespace linkbudget

#endif // FIRMWARELINKBUDGET_H
