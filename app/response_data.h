#ifndef RESPONSE_DATA_H
#define RESPONSE_DATA_H

// One decoded device response, handed from the serial worker to the page.
// Plain C++ on purpose: the protocol code that fills it has no Qt.

#include <cstdint>

struct response_data_struct_t {
    uint8_t  priority = 0;        // Cyphal priority of the transfer (0 for internal codes)
    uint16_t port_id = 0;         // Cyphal port ID, or the internal codes below
    uint8_t  remote_node_id = 0;  // source node ID (0 for internal codes)
    uint8_t  extra = 0;           // port-open result for 8889, else 0
    uint32_t payload_size = 0;    // bytes in payload (0 when payload is null)
    uint8_t* payload = nullptr;   // new uint8_t[payload_size]; the receiving slot does delete[]
    // Cyphal transfer-ID (0 for internal codes). A service response carries
    // the transfer-ID of the request it answers: the one way to tell the
    // answer to the latest request from a late answer to an earlier one.
    uint8_t  transfer_id = 0;
};

// Internal response codes carried in port_id.
enum : uint16_t {
    kRespLinkFrame = 8888,  // first adapter frame after open/close, or adapter status frame
    kRespOpenResult = 8889, // result of opening the port, in `extra`
};

// Values of `extra` for kRespOpenResult.
enum : uint8_t {
    kOpenFailed = 0,
    kOpenOk = 1,
    kOpenPortLost = 2,
    // Lost while throttle groups turned: their zeros go out on the next
    // port opened.
    kOpenPortLostTurning = 3,
};

#endif // RESPONSE_DATA_H
