#include "kiosk/kioskini.h"

#include <QDebug>
#include <QSettings>
#include <QVariant>

#include <utility>
#include <vector>

namespace kioskini {

namespace {

// Previous state of one key, so that a write the file refused can be taken
// back. QSettings keeps a process-wide copy of every file it has opened;
// without the rollback the refused value would stay in that copy, be seen by
// later reads and reach the disk with the next successful write.
struct KeyState {
    QString key;
    bool existed;
    QVariant value;
};

KeyState stateOf(const QSettings& settings, const QString& key)
{
    const bool existed = settings.contains(key);
    return {key, existed, existed ? settings.value(key) : QVariant()};
}

bool commit(QSettings& settings, const std::vector<KeyState>& before, const char* what)
{
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    qCritical().noquote() << "ini:" << what << "not saved to" << settings.fileName()
                          << "status" << int(settings.status());
    for (const KeyState& s : before) {
        if (s.existed)
            settings.setValue(s.key, s.value);
        else
            settings.remove(s.key);
    }
    return false;
}

// A key as QSettings stores it: no leading, trailing or doubled "/".
QString normalisedKey(const QString& key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

bool removeAndCommit(QSettings& settings, const QStringList& doomed, const char* what)
{
    std::vector<KeyState> before;
    before.reserve(size_t(doomed.size()));
    for (const QString& key : doomed)
        before.push_back(stateOf(settings, key));
    for (const QString& key : doomed)
        settings.remove(key);
    return commit(settings, before, what);
}

} // namespace

QString filePath()
{
    return QStringLiteral("./conf/tq_info.ini");
}

QString readValue(const QString& key)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    if (!settings.contains(key))
        return QString();
    // An unquoted "COM3,115200" comes back as a list, whose toString() is
    // empty: join it back so that a hand-written value needs no quotes.
    const QVariant value = settings.value(key);
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QStringList keys()
{
    QSettings settings(filePath(), QSettings::IniFormat);
    return settings.allKeys();
}

WriteResult writeValue(const QString& key, const QString& value, bool create)
{
    if (!key.contains(QLatin1Char('/'))) {
        qCritical().noquote() << "ini:写入的变量名格式错误，无/符号，路径不完整，异常";
        return WriteResult::KeyWithoutSlash;
    }
    if (value.isEmpty()) {
        qCritical().noquote().nospace() << "ini:写入的变量为空，异常， [" << key << "," << value << "]";
        return WriteResult::EmptyValue;
    }
    return storeValue(key, value, create);
}

WriteResult storeValue(const QString& key, const QString& value, bool create)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    const KeyState before = stateOf(settings, key);
    if (!before.existed && !create)
        return WriteResult::MissingKey;
    settings.setValue(key, value);
    return commit(settings, {before}, "write") ? WriteResult::Stored : WriteResult::NotSaved;
}

bool removeKey(const QString& key)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    // The key itself and, when it names a group, every key under it.
    const QString wanted = normalisedKey(key);
    const QString groupPrefix = wanted + QLatin1Char('/');
    QStringList doomed;
    for (const QString& k : settings.allKeys()) {
        if (k == wanted || k.startsWith(groupPrefix))
            doomed << k;
    }
    return removeAndCommit(settings, doomed, "removal");
}

bool removeKeysContaining(const QString& part)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    QStringList doomed;
    for (const QString& k : settings.allKeys()) {
        if (k.contains(part))
            doomed << k;
    }
    return removeAndCommit(settings, doomed, "removal");
}

} // namespace kioskini
