#include "link/linksession.h"

#include <chrono>

LinkSession::LinkSession()
    : m_ins(canard::kPcNodeId)
{
    m_ins.setServiceRole(canard::kRoleClient);
    subscribePcPorts(m_ins);
}

void LinkSession::reset()
{
    m_dec.reset();
    m_ins.dropSessions();
    m_ins.clearTx();
    m_firstFrameSeen = false;
}

void LinkSession::onFrame(const adapter::Frame& f, uint64_t now_us, std::vector<response_data_struct_t>& out,
                          size_t& n)
{
    const bool first = !m_firstFrameSeen;
    m_firstFrameSeen = true;
    const bool status = adapter::isStatusFrame(f);
    if (status)
        ++m_stats.statusFrames;
    if (first || status) {
        response_data_struct_t r;
        r.port_id = kRespLinkFrame;
        out.push_back(r);
        ++n;
    }
    if (!adapter::isDataFrame(f)) {
        if (!status)
            ++m_stats.internalFrames;
        return;
    }
    ++m_stats.canFrames;
    if (!m_ins.accept(f.can_id, f.data, f.dlc, now_us, m_rx))
        return;
    response_data_struct_t r;
    if (cyphal_decode_response(m_rx, r)) {
        out.push_back(r);
        ++n;
        ++m_stats.responses;
    } else {
        ++m_stats.undecoded;
    }
}

size_t LinkSession::feed(const uint8_t* data, size_t len, uint64_t now_us, std::vector<response_data_struct_t>& out)
{
    size_t n = 0;
    if (!data || len == 0)
        return 0;
    m_dec.feed(data, len, [&](const adapter::Frame& f) { onFrame(f, now_us, out, n); });
    return n;
}

size_t LinkSession::feed(const uint8_t* data, size_t len, std::vector<response_data_struct_t>& out)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return feed(data, len, uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count()), out);
}

int LinkSession::send(uint16_t port_id, uint8_t dest_node, const void* portArgs, int transferId)
{
    return cyphal_send_data(m_ins, port_id, dest_node, portArgs, transferId);
}

int LinkSession::send(uint16_t subject, const ThrottleArgs& args)
{
    return cyphal_send_data(m_ins, subject, args);
}

int LinkSession::throttleFrame(uint16_t subject, const ThrottleArgs& args, uint8_t out[adapter::kFrameSize],
                               unsigned ahead) const
{
    uint8_t data[canard::kMtu];
    size_t size = sizeof data - 1;
    const int ret = cyphal_get_encode_data(subject, args, data, &size);
    if (ret < 0)
        return ret;
    // One frame: the payload and its tail.
    const unsigned tid = m_ins.nextTransferId(canard::TransferKind::Message, subject, canard::kNoNode) + ahead;
    data[size] = canard::makeTail(true, true, true, uint8_t(tid % canard::kTransferIdModulo));
    adapter::encodeFrame(canard::makeMessageId(portPriority(subject), subject, m_ins.localNodeId()), data,
                         uint8_t(size + 1), out);
    return 0;
}

void LinkSession::throttleWritten(uint16_t subject)
{
    m_ins.takeTransferId(canard::TransferKind::Message, subject, canard::kNoNode);
}

size_t LinkSession::takeTxBytes(std::vector<uint8_t>& out)
{
    size_t n = 0;
    while (const canard::CanFrame* f = m_ins.peekTx()) {
        const size_t at = out.size();
        out.resize(at + adapter::kFrameSize);
        adapter::encodeFrame(f->id, f->data, f->len, out.data() + at);
        m_ins.popTx();
        ++n;
    }
    return n;
}

std::vector<uint8_t> LinkSession::takeTxBytes()
{
    std::vector<uint8_t> out;
    out.reserve(m_ins.txQueueSize() * adapter::kFrameSize);
    takeTxBytes(out);
    return out;
}

std::vector<uint8_t> LinkSession::bitrateCommandBytes(uint32_t bitrate)
{
    std::vector<uint8_t> out(adapter::kFrameSize);
    adapter::encodeBitrateCommand(bitrate, out.data());
    return out;
}

int cyphal_send_data(LinkSession* link, uint16_t port_id, uint8_t dest_node, const void* portArgs, int transferId)
{
    if (!link)
        return kSendErrNoLink;
    return link->send(port_id, dest_node, portArgs, transferId);
}

int cyphal_send_data(LinkSession* link, uint16_t port_id, uint8_t dest_node, std::nullptr_t)
{
    return cyphal_send_data(link, port_id, dest_node, static_cast<const void*>(nullptr));
}

int cyphal_send_data(LinkSession* link, uint16_t subject, const ThrottleArgs& args)
{
    if (!link)
        return kSendErrNoLink;
    return link->send(subject, args);
}
