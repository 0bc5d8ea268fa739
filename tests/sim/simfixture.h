#ifndef ESCSIM_TEST_SIMFIXTURE_H
#define ESCSIM_TEST_SIMFIXTURE_H

// A running simulator on its own thread plus a client on its terminal.

#include <memory>

#include "escsim.h"
#include "simclient.h"

// Generous: the tests must pass on a loaded two-core machine.
constexpr int kWaitMs = 8000;

struct SimFixture {
    explicit SimFixture(escsim::Options o = escsim::Options()) : bus(std::move(o)) {}
    ~SimFixture()
    {
        client.close();
        bus.stop();
    }

    bool up()
    {
        const std::string path = bus.start();
        if (path.empty())
            return false;
        bus.startThread();
        return client.open(path);
    }

    // Sends one request and waits for the response on the same port.
    bool request(uint16_t port, uint8_t node, const void* args, Record* out)
    {
        return client.send(port, node, args) && client.waitFor(port, node, kWaitMs, out);
    }

    escsim::Bus bus;
    SimClient client;
};

#endif // ESCSIM_TEST_SIMFIXTURE_H
