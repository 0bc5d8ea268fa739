#ifndef TQCAN_PRIVATE_H
#define TQCAN_PRIVATE_H

// Constants and shared state of the configurator page's source files.

#include <QtGlobal>

// Running byte offset of the register-description read (port 257). The
// dispatcher advances it per chunk; the read-parameters action resets it.
extern int regInfoReadOffset;

// Nodes that the page lists: the ESC node IDs.
constexpr int kFirstNodeId = 16;
constexpr int kLastNodeId = 48;

// Heartbeat mode of a node that runs its boot loader, waiting for firmware.
constexpr int kModeSoftwareUpdate = 3;

// The mode noteNodeRestart gets for a restart the node's answer showed
// (another name, versions or unique ID than its row held).
constexpr int kRestartSeenInAnswer = -1;

// A node sends its heartbeat once a second; heard again after more than
// two periods of silence, it is asked who it is.
constexpr int kHeartbeatPeriodMs = 1000;

// Op state of a register reply that confirms a write.
constexpr int kRegOpWriteOk = 0x20;

// A node answers each register request and description chunk at once: a
// read or write without any answer for this long has lost its node
// (unplugged, another rate, an answer lost).
constexpr int kRegReplyTimeoutMs = 5000;

// A node's heartbeat count-down, in ticks of the device timer. Reloaded by
// every heartbeat; at 0 the node is dropped, 3 to 4 s after its last
// heartbeat (Cyphal's offline time-out is 3 s).
constexpr int kAliveReload = 4;
constexpr int kDeviceTickMs = 1000;

// Link counter: device ticks without a listed node before the link lamp
// turns red, and the floor that keeps it from running down forever.
constexpr int kLinkCountReload = 2;
constexpr int kLinkCountFloor = -1000;

// Device tables: columns of the firmware tab's table, and the rows both
// tables always show.
constexpr int kDevTableColumns = 6;
constexpr int kDevTableMinRows = 12;

// Throttle-tab index.
constexpr int kThrottleTab = 2;
constexpr int kParameterTab = 1;

#endif // TQCAN_PRIVATE_H
