#ifndef REGRECORD_H
#define REGRECORD_H

// One caption ("STR") or register ("REG") of the register list that a node
// describes; the parameter tab keeps one list for the device it works on.

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

    RegRecord() = default;
    // A copy takes the texts and the key; the option shown and the limits
    // belong to the table row the original was made for.
    RegRecord(const RegRecord& o)
        : attr(o.attr), m_reg(o.m_reg), text(o.text), curValue(o.curValue),
          defValue(o.defValue), optionText(o.optionText), devRow(o.devRow)
    {
    }
    RegRecord& operator=(const RegRecord& o)
    {
        if (this != &o) {
            attr = o.attr;
            m_reg = o.m_reg;
            text = o.text;
            curValue = o.curValue;
            defValue = o.defValue;
            optionText = o.optionText;
            devRow = o.devRow;
        }
        return *this;
    }
};

#endif // REGRECORD_H
