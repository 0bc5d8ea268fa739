#ifndef CANBAUD_H
#define CANBAUD_H

// The CAN bit rates the page offers, in the order of the form's rate boxes
// ("250K", "500K", "800K", "1000K"). A node takes its rate from register 4
// as the index into this table; if a device family ever codes it otherwise,
// this is the one place to change.

#include <array>
#include <cstdint>

namespace canbaud {

constexpr std::array<uint32_t, 4> kRates = {250000, 500000, 800000, 1000000};
constexpr int kCount = static_cast<int>(kRates.size());
constexpr int kDefaultIndex = 1; // 500K

// Register that holds a node's CAN bit rate, and the code written to it.
constexpr int kRegister = 4;
constexpr int registerCode(int index) { return index; }

// Rate of a box index; an index outside the table gives the default rate.
constexpr uint32_t rateOf(int index)
{
    return (index >= 0 && index < kCount) ? kRates[static_cast<size_t>(index)]
                                          : kRates[kDefaultIndex];
}

} // namespace canbaud

#endif // CANBAUD_H
