#include "registertable.h"

#include <algorithm>
#include <cstdlib>

#include "escsim.h"
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

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(sep, start);
        out.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return out;
        start = at + 1;
    }
}

// A whole-text number in the 16-bit range.
bool parseNumber(const std::string& text, int base, long* out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, base);
    if (*end != '\0' || v < -32768 || v > 0xFFFF)
        return false;
    *out = v;
    return true;
}

// Limits of an option text (";0,S,Off;1,S,On" or ";lo~hi,N,[scale]unit").
void optionLimits(const std::string& options, long* low, long* high)
{
    const std::vector<std::string> parts = split(options, ';');
    if (parts.size() < 2)
        return;
    const std::vector<std::string> first = split(parts[1], ',');
    if (first.size() < 2)
        return;
    const size_t tilde = first[0].find('~');
    long lo = 0;
    long hi = 0;
    if (tilde != std::string::npos && parseNumber(first[0].substr(0, tilde), 10, &lo)
        && parseNumber(first[0].substr(tilde + 1), 10, &hi) && lo <= hi && hi <= 0x7FFF) {
        *low = lo;
        *high = hi;
        return;
    }
    if (first[1] != "S" && first[1] != "s")
        return;
    bool any = false;
    for (const std::string& part : parts) {
        const std::vector<std::string> option = split(part, ',');
        long v = 0;
        if (option.size() < 3 || !parseNumber(option[0], 10, &v) || v > 0x7FFF)
            continue;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    }
    if (any) {
        *low = lo;
        *high = hi;
    }
}

} // namespace

RegisterTable RegisterTable::standard()
{
    return fromDescription(sampleDescription());
}

RegisterTable RegisterTable::fromDescription(const std::string& description)
{
    RegisterTable t;
    // Link and upgrade registers; not part of the description on purpose.
    t.add(kRegCanBitrate, 1, 0, 3, true, true);
    t.add(kRegUpgradeStatus, 0, 0, 0xFF, false);
    for (const std::string& entry : split(description, ':')) {
        const size_t semicolon = entry.find(';');
        const std::vector<std::string> head = split(entry.substr(0, semicolon), ',');
        long reg = 0;
        if (head.size() < 3 || head[0] != "REG" || !parseNumber(head[1], 16, &reg) || reg > 0xFF
            || reg == kRegCanBitrate || reg == kRegUpgradeStatus)
            continue;
        long def = 0;
        if (head.size() > 3)
            parseNumber(head[3], 10, &def);
        long low = 0;
        long high = 0x7FFF;
        if (semicolon != std::string::npos)
            optionLimits(entry.substr(semicolon), &low, &high);
        t.add(uint8_t(reg), int16_t(std::min(std::max(def, low), high)), int16_t(low), int16_t(high));
    }
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

void RegisterTable::copyRegister(uint8_t reg, const RegisterTable& from)
{
    const auto it = from.m_regs.find(reg);
    if (it != from.m_regs.end())
        m_regs[reg] = it->second;
    else
        m_regs.erase(reg);
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
