#include "link/firmwaretransfer.h"

#include <algorithm>
#include <cstring>
#include <utility>

bool FirmwareTransfer::start(uint8_t node, std::vector<uint8_t> image, const uint8_t* tag, size_t tagLen)
{
    if (image.empty() || !tag || tagLen < sizeof(m_path))
        return false;
    m_node = node;
    m_image = std::move(image);
    std::memcpy(m_path, tag, sizeof(m_path));
    m_offset = 0;
    return true;
}

FirmwareTransfer::Step FirmwareTransfer::onGo()
{
    if (m_offset == kIdle)
        return Step::Ignore;
    if (m_offset == kPartDone) {
        // The node has acknowledged the closing write: the image is no longer
        // needed, and a later GO must find nothing to send.
        reset();
        return Step::SendStatusRead;
    }
    if (m_offset >= int64_t(m_image.size()))
        return Step::SendFinal;
    return Step::SendChunk;
}

bool FirmwareTransfer::nextChunk(FileWriteArgs& out)
{
    if (m_offset < 0 || m_offset >= int64_t(m_image.size()))
        return false;
    const size_t at = size_t(m_offset);
    out = FileWriteArgs();
    out.offset = uint64_t(m_offset);
    std::memcpy(out.path, m_path, sizeof(m_path));
    out.data = m_image.data() + at;
    out.dataLen = uint16_t(std::min<size_t>(kFileWriteDataSize, m_image.size() - at));
    m_offset += kFileWriteDataSize;
    return true;
}

FileWriteArgs FirmwareTransfer::takeFinalWrite()
{
    FileWriteArgs a;
    a.offset = m_offset > 0 ? uint64_t(m_offset) : 0;
    std::memcpy(a.path, m_path, sizeof(m_path));
    if (m_offset >= 0)
        m_offset = kPartDone;
    return a;
}

void FirmwareTransfer::reset()
{
    m_offset = kIdle;
    m_image.clear();
    m_image.shrink_to_fit();
}
