#include "registertable.h"

#include "link/byteorder.h"

namespace escsim {

namespace {

std::vector<uint8_t> shortReply(uint8_t state, uint8_t reg)
{
    return {state, reg};
}

std::vector<uint8_t> valueReply(uint8_t state, uint8_t reg, int16_t value)
{
    std::vector<uint8_t> out(4, 0);
    out[0] = state;
    out[1] = reg;
    writeLe16(out.data() + 2, uint16_t(value));
    return out;
}

} // namespace

RegisterTable RegisterTable::standard()
{
    RegisterTable t;
    // Link and upgrade registers; not part of the description on purpose.
    t.add(kRegCanBitrate, 1, 0, 3, true, true);
    t.add(kRegUpgradeStatus, 0, 0, 0xFF, false);
    // The registers that sample-description.txt describes.
    t.add(0x0A, 0, 0, 1);       // motor direction
    t.add(0x0B, 7, 1, 50);      // pole pairs
    t.add(0x0C, 40, 0, 100);    // startup power, steps of 0.5 %
    t.add(0x0D, 0, 0, 3);       // timing advance
    t.add(0x10, 2, 0, 3);       // low-voltage cut-off
    t.add(0x11, 110, 60, 140);  // temperature limit
    t.add(0x12, 600, 0, 2000);  // current limit, 0.1 A
    t.add(0x13, 0, 0, 1);       // signal loss action
    return t;
}

void RegisterTable::add(uint8_t reg, int16_t def, int16_t low, int16_t high, bool writable,
                        bool persistAtOnce)
{
    Register r;
    r.value = r.def = r.stored = def;
    r.low = low;
    r.high = high;
    r.writable = writable;
    r.persistAtOnce = persistAtOnce;
    m_regs[reg] = r;
}

int16_t RegisterTable::value(uint8_t reg) const
{
    const auto it = m_regs.find(reg);
    return it == m_regs.end() ? 0 : it->second.value;
}

void RegisterTable::setValue(uint8_t reg, int16_t value)
{
    const auto it = m_regs.find(reg);
    if (it != m_regs.end())
        it->second.value = value;
}

std::vector<uint8_t> RegisterTable::serve(const uint8_t* req, size_t len, int* written)
{
    if (written)
        *written = -1;
    if (!req || len < 2)
        return {};
    const uint8_t op = req[0];
    const uint8_t reg = req[1];
    const auto it = m_regs.find(reg);
    if (it == m_regs.end())
        return shortReply(kOpNoSuchRegister, reg);
    Register& r = it->second;

    switch (op) {
    case 0:
        return valueReply(kOpReadOk, reg, r.value);
    case 1: {
        std::vector<uint8_t> out(23, 0);
        out[0] = kOpReadOk;
        out[1] = reg;
        writeLe16(out.data() + 2, uint16_t(r.value));
        writeLe16(out.data() + 16, uint16_t(r.def));
        writeLe16(out.data() + 18, uint16_t(r.low));
        writeLe16(out.data() + 20, uint16_t(r.high));
        return out;
    }
    case 2: {
        if (len < 4 || !r.writable)
            return shortReply(kOpBadOperation, reg);
        // The wire carries 16 bits; the limits say how the device reads them.
        const int16_t v = readLeI16(req + 2);
        if (v < r.low || v > r.high)
            return shortReply(kOpOutOfRange, reg);
        r.value = v;
        if (r.persistAtOnce)
            r.stored = v;
        if (written)
            *written = reg;
        return valueReply(kOpWriteOk, reg, v);
    }
    default:
        return shortReply(kOpBadOperation, reg);
    }
}

void RegisterTable::store()
{
    for (auto& kv : m_regs)
        kv.second.stored = kv.second.value;
}

void RegisterTable::restoreStored()
{
    for (auto& kv : m_regs) {
        if (kv.second.writable)
            kv.second.value = kv.second.stored;
    }
}

} // namespace escsim
