#ifndef DEVINFO_H
#define DEVINFO_H

// Texts the page shows for a node, taken from the device-information record
// (port 430) that the link delivers.

#include <QString>

#include <cstdint>

struct DevInfoTexts {
    QString devType;   // the node's name
    QString hardVer;   // "major.minor"
    QString firmVer;   // "major.minor"
    QString uniqueId;  // the device's 16-byte unique ID, in hexadecimal
};

// Reads the 296-byte record: hardware version at bytes 2-3, software
// version at bytes 4-5, the unique ID at bytes 14-29, the name from byte 30
// up to its NUL. Reads only the bytes present; false when the versions are
// missing.
bool parseDeviceInfo(const uint8_t* payload, uint32_t size, DevInfoTexts* out);

// Text sent by a device: UTF-8 when the bytes are valid UTF-8, else GB18030
// (devices made for Chinese Windows send their local code page).
QString decodeDeviceText(const char* data, int size);

// A node ID as the device tables show it: lowercase hexadecimal without
// prefix (node 16 is "10").
inline QString nodeText(int nodeId)
{
    return QString::number(nodeId, 16);
}

#endif // DEVINFO_H
