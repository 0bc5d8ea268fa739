#ifndef DEBUGMODE_H
#define DEBUGMODE_H

#include <QDate>
#include <QString>

// Name of the developer-mode marker file for a day: "_yyyyMMdd.txt".
QString debugMarkerFileName(const QDate& day);

// True when today's marker file lies anywhere below the working directory.
bool checkDebugMode();

#endif // DEBUGMODE_H
