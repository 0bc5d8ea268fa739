#ifndef RECORDFIELDS_H
#define RECORDFIELDS_H

// A record's fields as named texts, so that one comparison names the field
// that differs:
//   QCOMPARE(recordFields(got), recordFields({2, 9, "TQ_OPAL_VERSION", "", "", {}, sender, 16}));
// The test must link the library that provides app/communicat.h (tq_core).

#include <QStringList>

#include "app/communicat.h"

inline QStringList recordFields(const Communicat& c)
{
    return {QStringLiteral("SrcType=%1").arg(c.SrcType), QStringLiteral("DestType=%1").arg(c.DestType),
            QStringLiteral("cmdtype=") + c.cmdtype, QStringLiteral("arg1=") + c.arg1,
            QStringLiteral("arg2=") + c.arg2, QStringLiteral("data=") + QString::fromLatin1(c.data.toHex()),
            QStringLiteral("sender=%1").arg(c.sender), QStringLiteral("param=%1").arg(c.param)};
}

#endif // RECORDFIELDS_H
