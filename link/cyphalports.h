#ifndef TQ_LINK_CYPHALPORTS_H
#define TQ_LINK_CYPHALPORTS_H

// Cyphal port layer: port numbers, request encoders, response decoders.
// Plain C++17, no Qt. All fields little-endian.

#include <cstddef>
#include <cstdint>

#include "app/response_data.h"
#include "link/libcanard/canard.h"

class LinkSession;

// ---- Port numbers ----
enum : uint16_t {
    kPortRegAccess = 256,       // service: register access
    kPortFileRead = 257,        // service: description-file read
    kPortFileWrite = 409,       // service: firmware data (uavcan.file.Write.1.1)
    kPortNodeInfo = 430,        // service: uavcan.node.GetInfo.1.0
    kPortExecCommand = 435,     // service: execute command
    kPortNodeControl = 6144,    // message: node control
    kPortNodeIdAssign = 6145,   // message: node-ID assignment
    kPortThrottleFirst = 6152,  // message: throttle group 1
    kPortThrottleLast = 6159,   // message: throttle group 8
    kPortTelemetry = 6160,      // message: telemetry (speed, current, status)
    kPortTelemetry2 = 6161,     // message: telemetry (throttle, voltage, temps)
    kPortTelemetryExtra = 6162, // message: extra telemetry
    kPortHeartbeat = 7509,      // message: uavcan.node.Heartbeat.1.0
};

// ---- Subscription extents ----
enum : uint16_t {
    kExtentRegAccess = 23, kExtentFileRead = 263, kExtentFileWrite = 2, kExtentNodeInfo = 313,
    kExtentExecCommand = 1, kExtentHeartbeat = 6, kExtentTelemetry = 6, kExtentTelemetry2 = 7,
    kExtentTelemetryExtra = 4,
};

// ---- Delivered record sizes ----
enum : uint32_t {
    kNodeInfoRecordSize = 296,     // 430
    kRegAccessZeroTail = 9,        // 256: response + 9 zero bytes
    kTelemetryZeroTail = 9,        // 6160: 6 B + 9 zero bytes
    kFileWriteDataSize = 256,      // 409: data bytes per write (last chunk padded with 0xFF)
    kMaxRequestPayload = 512,      // largest request payload any encoder produces
};

// ---- Error codes (negative) of cyphal_get_encode_data / cyphal_send_data ----
enum : int {
    kEncErrNullArg = -1,       // null buffer/size, or null args where the port needs them
    kEncErrUnknownPort = -2,   // port has no encoder (incl. subject outside 6152..6159 for throttle)
    kEncErrBadArg = -3,        // argument out of range (6145 id outside 16..48, 409 data > 256, 435 param too long,
                               // a transfer-ID outside 0..31)
    kEncErrBufferTooSmall = -4,// *size smaller than the encoded payload
    kSendErrBadNode = -5,      // service request to a node ID outside 0..127
    kSendErrTransport = -6,    // transport refused the transfer (queue full)
    kSendErrNoLink = -7,       // null link context
};

// ---- Request arguments (portArgs of the encoders), one struct per port ----
struct RegAccessArgs {      // 256: op 0 read value, 1 read whole register, 2 write
    uint8_t op = 0;
    uint8_t reg = 0;
    uint16_t value = 0;     // sent only when op == 2
};
struct FileReadArgs {       // 257
    uint32_t offset = 0;
    uint16_t fileType = 0;  // 1001 English, 1000 Chinese description
};
struct FileWriteArgs {      // 409: dataLen 0 = final write; 1..256 data bytes (padded with 0xFF to 256)
    uint64_t offset = 0;    // uint40 on the wire
    uint8_t path[8] = {};   // the 8-byte tag
    const uint8_t* data = nullptr;
    uint16_t dataLen = 0;
};
// 430 takes no arguments (portArgs may be null).
struct ExecCommandArgs {    // 435: u16 command + raw parameter bytes, NO length prefix
    uint16_t command = 0;
    const uint8_t* param = nullptr;
    size_t paramLen = 0;    // <= kMaxRequestPayload - 2
};
struct NodeControlArgs {    // 6144: value, node, 0
    uint8_t value = 0;
    uint8_t node = 0;
};
struct NodeIdAssignArgs {   // 6145: (newId == 48), newId; newId must be 16..48
    uint8_t newId = 0;
};
struct ThrottleArgs {       // 6152..6159: four throttle values (mod 16384)
    uint16_t t[4] = {0, 0, 0, 0};
};

// Packs four throttle values into 7 bytes:
// 100,200,300,400 -> 64 00 C8 00 2C 41 90.
void packThrottle6152(uint16_t t0, uint16_t t1, uint16_t t2, uint16_t t3, uint8_t out[7]);
// Inverse of packThrottle6152 (for the simulator and tests).
void unpackThrottle6152(const uint8_t in[7], uint16_t t[4]);

// True for the request ports (256, 257, 409, 430, 435), false for messages.
bool isServicePort(uint16_t port_id);
// True for ports that have a request/message encoder.
bool isEncodablePort(uint16_t port_id);
// Priority with which the PC sends on this port; 4 if unknown.
uint8_t portPriority(uint16_t port_id);
// Extent of the PC's subscription to this port's responses/messages; 0 if none.
size_t portExtent(uint16_t port_id);
// Subscribes a PC-side (client) transport to every response and message port
// with its extent and the 2 s transfer-ID timeout.
void subscribePcPorts(canard::Instance& ins);

// Encodes the payload of a request/message for port_id from portArgs (the
// struct of that port; callers with throttle values use the typed form
// below). *size: in = capacity of buf, out = bytes written.
// Returns 0 or a negative kEncErr* code.
int cyphal_get_encode_data(uint16_t port_id, const void* portArgs, uint8_t* buf, size_t* size);

// The throttle's own encoder and sender: the only way to put a
// ThrottleArgs on the wire. Any subject outside 6152..6159 gives
// kEncErrUnknownPort and queues nothing, so throttle values can never be
// taken for the arguments of another port. Handing a ThrottleArgs* to the
// untyped forms does not compile (the nullptr forms keep "no arguments"
// unambiguous).
int cyphal_get_encode_data(uint16_t subject, const ThrottleArgs& args, uint8_t* buf, size_t* size);
int cyphal_send_data(canard::Instance& ins, uint16_t subject, const ThrottleArgs& args);
int cyphal_send_data(LinkSession* link, uint16_t subject, const ThrottleArgs& args);
int cyphal_get_encode_data(uint16_t, const ThrottleArgs*, uint8_t*, size_t*) = delete;
int cyphal_send_data(canard::Instance&, uint16_t, uint8_t, const ThrottleArgs*) = delete;
int cyphal_send_data(LinkSession*, uint16_t, uint8_t, const ThrottleArgs*) = delete;
int cyphal_get_encode_data(uint16_t port_id, std::nullptr_t, uint8_t* buf, size_t* size);
int cyphal_send_data(canard::Instance& ins, uint16_t port_id, uint8_t dest_node, std::nullptr_t);
int cyphal_send_data(LinkSession* link, uint16_t port_id, uint8_t dest_node, std::nullptr_t);

// Encodes and pushes one request (dest_node 0..127) or broadcast message
// (dest_node 0xFF, ignored for messages) into the transport's TX queue, from
// the instance's local node ID with the port's priority. transferId -1 takes
// the transport's next one; 0..31 is the caller's own (a caller that matches
// the responses to its requests numbers them itself). Returns 0 or a
// negative error code (kEncErr*, kSendErr*).
int cyphal_send_data(canard::Instance& ins, uint16_t port_id, uint8_t dest_node, const void* portArgs,
                     int transferId = -1);
// Same through a link session (its transport); see linksession.h.
int cyphal_send_data(LinkSession* link, uint16_t port_id, uint8_t dest_node, const void* portArgs,
                     int transferId = -1);

// Decodes a received transfer into one record with the exact payload layout
// (payload = new uint8_t[payload_size]; caller delete[]s it,
// e.g. with freeResponse). Returns false (out untouched) for a port/kind that
// the page does not get.
bool cyphal_decode_response(const canard::RxTransfer& t, response_data_struct_t& out);
// Lower-level form of the above.
bool cyphal_decode_response(canard::TransferKind kind, uint16_t port_id, uint8_t priority,
                            uint8_t source_node_id, uint8_t transfer_id, const uint8_t* data, size_t len,
                            response_data_struct_t& out);
// delete[]s the payload and clears size/pointer.
void freeResponse(response_data_struct_t& r);

// ---- Request decoders (device side: the simulator). false when too short. ----
bool decodeRegAccessRequest(const uint8_t* p, size_t len, RegAccessArgs& out);
bool decodeFileReadRequest(const uint8_t* p, size_t len, FileReadArgs& out);
// out.data points into p (valid while p is).
bool decodeFileWriteRequest(const uint8_t* p, size_t len, FileWriteArgs& out);
// out.param points into p.
bool decodeExecCommandRequest(const uint8_t* p, size_t len, ExecCommandArgs& out);

#endif // TQ_LINK_CYPHALPORTS_H
