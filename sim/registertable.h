#ifndef ESCSIM_REGISTERTABLE_H
#define ESCSIM_REGISTERTABLE_H

// The registers of one simulated ESC and the register-access service that
// reads and writes them (op 0 read value, op 1 read whole register, op 2
// write). Values are 16-bit; limits are signed.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace escsim {

// Register numbers with a meaning of their own to the node.
constexpr uint8_t kRegCanBitrate = 4;     // 0 = 250K, 1 = 500K, 2 = 800K, 3 = 1000K
constexpr uint8_t kRegUpgradeStatus = 5;  // register-5 upgrade protocol

// Op-state codes of a reply.
constexpr uint8_t kOpReadOk = 0x10;
constexpr uint8_t kOpWriteOk = 0x20;
constexpr uint8_t kOpNoSuchRegister = 0x11;
constexpr uint8_t kOpBadOperation = 0x12;
constexpr uint8_t kOpOutOfRange = 0x13;

struct Register {
    int16_t value = 0;
    int16_t def = 0;
    int16_t low = 0;
    int16_t high = 0;
    int16_t stored = 0;     // what a restart brings back
    bool writable = true;
    bool persistAtOnce = false; // a write is stored at once (link settings)
};

class RegisterTable {
public:
    // The table of a node that serves this register description: the CAN
    // bit rate and the upgrade status, plus every register the description
    // lists. A register entry's fourth head field is its default; its
    // limits are the option text's range ("lo~hi"), or the smallest and
    // largest value of its labelled options. Entries for registers 4 and 5
    // are left out: those keep their own meaning.
    static RegisterTable fromDescription(const std::string& description);
    // The table of the built-in description.
    static RegisterTable standard();

    void add(uint8_t reg, int16_t def, int16_t low, int16_t high, bool writable = true,
             bool persistAtOnce = false);

    bool has(uint8_t reg) const { return m_regs.count(reg) != 0; }
    // Takes over one register, its state included, from another table.
    void copyRegister(uint8_t reg, const RegisterTable& from);
    // Value of a register; 0 for one that does not exist.
    int16_t value(uint8_t reg) const;
    // Sets a value without any check (the node's own state, e.g. register 5).
    void setValue(uint8_t reg, int16_t value);

    // Serves one register-access request and returns the reply bytes (2, 4
    // or 23); an empty reply means the request is ignored (too short).
    // `written` is set to the register number when a write succeeded.
    std::vector<uint8_t> serve(const uint8_t* req, size_t len, int* written = nullptr);

    // Persists every value (store command) / brings the stored ones back
    // (restart).
    void store();
    void restoreStored();

private:
    std::map<uint8_t, Register> m_regs;
};

} // namespace escsim

#endif // ESCSIM_REGISTERTABLE_H
