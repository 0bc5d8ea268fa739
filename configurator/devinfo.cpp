#include "configurator/devinfo.h"

#include <QByteArray>
#include <QTextCodec>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kHardVerOffset = 2;
constexpr uint32_t kSoftVerOffset = 4;
constexpr uint32_t kUniqueIdOffset = 14;
constexpr uint32_t kNameOffset = 30;
constexpr uint32_t kNameMaxLength = 255; // bytes 30..284 of the record

QString versionText(const uint8_t* p)
{
    return QStringLiteral("%1.%2").arg(p[0]).arg(p[1]);
}

} // namespace

bool parseDeviceInfo(const uint8_t* payload, uint32_t size, DevInfoTexts* out)
{
    if (!payload || !out || size < kSoftVerOffset + 2)
        return false;
    out->hardVer = versionText(payload + kHardVerOffset);
    out->firmVer = versionText(payload + kSoftVerOffset);
    out->uniqueId.clear();
    if (size > kUniqueIdOffset) {
        const uint32_t idBytes = std::min(size, kNameOffset) - kUniqueIdOffset;
        out->uniqueId = QByteArray(reinterpret_cast<const char*>(payload + kUniqueIdOffset), int(idBytes)).toHex();
    }
    out->devType.clear();
    if (size > kNameOffset) {
        const char* name = reinterpret_cast<const char*>(payload + kNameOffset);
        const uint32_t avail = std::min(size - kNameOffset, kNameMaxLength);
        const void* nul = std::memchr(name, 0, avail);
        const int length = nul ? int(static_cast<const char*>(nul) - name) : int(avail);
        out->devType = decodeDeviceText(name, length);
    }
    return true;
}

QString decodeDeviceText(const char* data, int size)
{
    if (!data || size <= 0)
        return QString();
    QTextCodec::ConverterState state;
    const QString utf8 = QTextCodec::codecForMib(106)->toUnicode(data, size, &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return utf8;
    if (QTextCodec* gb = QTextCodec::codecForName("GB18030"))
        return gb->toUnicode(data, size);
    return utf8;
}
