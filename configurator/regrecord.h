#ifndef REGRECORD_H
#define REGRECORD_H

// One caption ("STR") or register ("REG") of the register list that a node
// describes; the parameter tab keeps one list for the device it works on.
// A plain value: a copy carries every field, the limits included.

#include <QString>
#include <QtGlobal>

struct RegRecord {
    QString attr;          // "STR" caption, "REG" register
    QString m_reg;         // register address as hexadecimal text; empty for a caption
    QString text;          // description, or the caption text
    QString curValue = QStringLiteral("");  // decimal text; empty until read or edited
    QString defValue = QStringLiteral("");  // decimal text; empty until read
    QString curOptionText = QStringLiteral(""); // option shown in the row's combo
    qint16 m_upLimit = 0;
    qint16 m_lowLimit = 0;
    QString optionText;    // the entry from its first ";" on
    qint16 devRow = 0;     // record key of the upsert and the remove
};

#endif // REGRECORD_H
