#ifndef TQ_LINK_PORTSEARCH_H
#define TQ_LINK_PORTSEARCH_H

// The port-search result text: the short names of the serial ports the
// system lists ("ttyUSB0", "ttyACM0", ...), sorted, each followed by ",",
// e.g. "ttyACM0,ttyUSB0,"; empty when there is none. Pseudo-terminals are
// not listed by the system; the page accepts a typed path for them.

#include <QString>
#include <QStringList>

// Builds the text from a list of names (sorted here; empty names skipped).
QString portListText(QStringList names, int* count = nullptr);

// Lists the system's serial ports now.
QString portSearchText(int* count = nullptr);

#endif // TQ_LINK_PORTSEARCH_H
