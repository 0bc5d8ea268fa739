#include "kiosk/kioskreplyparser.h"

#include <QDebug>
#include <QJsonDocument>

namespace kioskreply {

bool splitMessage(const QString& source, const QString& key, QString& value,
                  const SplitTrace& trace)
{
    if (source.isEmpty()) {
        qCritical().noquote() << "Charge reply message err 1";
        return false;
    }

    const QStringList pieces = source.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    const QStringList selection = pieces.filter(key, Qt::CaseSensitive);
    if (trace)
        trace(pieces, selection);
    if (selection.isEmpty()) {
        qCritical().noquote() << "Charge reply message err 2,not have" << key
                              << "; sourceTemp=" << source;
        return false;
    }

    // The selection only tells whether the key occurs at all; a piece counts
    // when one of its parts is the whole key, on either side of "=".
    for (const QString& piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char('='), Qt::KeepEmptyParts);
        if (!parts.contains(key, Qt::CaseSensitive))
            continue;
        if (parts.size() >= 2)
            value = parts.at(1);
        return true;
    }
    return false;
}

QString jsonObjectToString(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString jsonArrayToString(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QJsonObject stringToJsonObject(const QString& text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (doc.isObject())
        return doc.object();
    qWarning().noquote() << "Json msg is not object:" << text;
    return QJsonObject();
}

QJsonArray stringToJsonArray(const QString& text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (doc.isArray())
        return doc.array();
    qWarning().noquote() << "Json msg is not array:" << text;
    return QJsonArray();
}

} // namespace kioskreply
