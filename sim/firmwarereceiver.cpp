#include "firmwarereceiver.h"

namespace escsim {

void FirmwareReceiver::enterUpgrade()
{
    m_status = kUpgradeReadyPart1;
    m_pending.clear();
}

void FirmwareReceiver::restart()
{
    m_status = (m_status == kUpgradeDonePart1) ? kUpgradeReadyPart2 : 0;
    m_pending.clear();
}

void FirmwareReceiver::waitForPart2()
{
    m_status = kUpgradeReadyPart2;
    m_pending.clear();
}

uint16_t FirmwareReceiver::write(uint64_t offset, const uint8_t* data, size_t len,
                                 const std::string& path)
{
    if (!accepting())
        return kFileAccessDenied;
    if (len != 0 && len != kChunkSize)
        return kFileBadLength;
    // A transfer may start over from the beginning at any time.
    if (offset == 0 && len != 0)
        m_pending.clear();
    if (offset != m_pending.size())
        return kFileBadOffset;
    if (len != 0) {
        m_pending.insert(m_pending.end(), data, data + len);
        return kFileOk;
    }
    const int part = currentPart();
    m_images[part - 1] = std::move(m_pending);
    m_paths[part - 1] = path;
    m_pending.clear();
    m_lastCompleted = part;
    ++m_completions;
    m_status = (part == 1) ? kUpgradeDonePart1 : kUpgradeDonePart2;
    return kFileOk;
}

const std::vector<uint8_t>& FirmwareReceiver::image(int part) const
{
    static const std::vector<uint8_t> none;
    return (part == 1 || part == 2) ? m_images[part - 1] : none;
}

const std::string& FirmwareReceiver::path(int part) const
{
    static const std::string none;
    return (part == 1 || part == 2) ? m_paths[part - 1] : none;
}

} // namespace escsim
