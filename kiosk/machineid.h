#ifndef MACHINEID_H
#define MACHINEID_H

// Where the kiosk's machine ID lives in the platform's native settings store.
// Windows: the value "MachineId" under HKEY_CURRENT_USER\Software\TQTopaz\kiosk.
// Linux: the entry "MachineId" of the [General] section of
// $XDG_CONFIG_HOME/TQTopaz/kiosk.conf ($HOME/.config when XDG_CONFIG_HOME is
// not set). The kiosk only reads it; the machine's installer provisions it.

#include <QString>

namespace machineid {

constexpr char kOrganisation[] = "TQTopaz";
constexpr char kApplication[] = "kiosk";
constexpr char kValueName[] = "MachineId";

// The stored machine ID as text, or fallback when none is stored.
QString readStored(const QString& fallback);

} // namespace machineid

#endif // MACHINEID_H
