#include "QSettingsStore.h"

#include "AppPaths.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace quillon {

namespace {

QSettings* openSettings(QSettings& s, const QString& group)
{
    if (!group.isEmpty())
        s.beginGroup(group);
    return &s;
}

#define QUILLON_SETTINGS(var) \
    QSettings var(QSettings::NativeFormat, QSettings::UserScope, kOrganisationName, kApplicationName)

} // namespace

QSettingsStore::QSettingsStore() = default;

QString QSettingsStore::fileName() const
{
    QUILLON_SETTINGS(s);
    return s.fileName();
}

bool QSettingsStore::groupOf(const std::string& key, QString& group) const
{
    const std::string root = SettingsKey;
    if (key.compare(0, root.size(), root) != 0)
        return false;
    std::string rest = key.substr(root.size());
    if (!rest.empty() && rest[0] != '\\')
        return false;
    group = QString::fromStdString(rest).replace('\\', '/');
    while (group.startsWith('/'))
        group.remove(0, 1);
    return true;
}

bool QSettingsStore::openKey(const std::string& key)
{
    QString group;
    if (!groupOf(key, group))
        return false;
    // Like a registry key opened with creation allowed, the file exists afterwards.
    QFileInfo file(fileName());
    if (file.exists())
        return true;
    QDir().mkpath(file.absolutePath());
    QFile f(file.absoluteFilePath());
    return f.open(QIODevice::WriteOnly);
}

KeyValueStore::Read QSettingsStore::readString(const std::string& key, const std::string& name,
                                               std::string& value)
{
    QString group;
    if (!groupOf(key, group))
        return Read::Missing;
    QUILLON_SETTINGS(s);
    if (s.status() != QSettings::NoError)
        return Read::Unreadable;
    QFileInfo file(s.fileName());
    if (file.exists() && !file.isReadable())
        return Read::Unreadable;
    openSettings(s, group);
    const QString n = QString::fromStdString(name);
    if (!s.contains(n))
        return Read::Missing;
    const QVariant v = s.value(n);
    if (v.typeId() != QMetaType::QString)
        return Read::WrongType;
    value = v.toString().toStdString();
    return Read::Found;
}

KeyValueStore::Write QSettingsStore::writeString(const std::string& key, const std::string& name,
                                                 const std::string& value)
{
    QString group;
    if (!groupOf(key, group))
        return Write::NoKey;
    QUILLON_SETTINGS(s);
    openSettings(s, group);
    s.setValue(QString::fromStdString(name), QString::fromStdString(value));
    s.sync();
    return s.status() == QSettings::NoError ? Write::Written : Write::Refused;
}

bool QSettingsStore::deleteKeyTree(const std::string& key)
{
    QString group;
    if (!groupOf(key, group))
        return false;
    QUILLON_SETTINGS(s);
    if (group.isEmpty()) {
        s.clear();
    } else {
        s.remove(group);
    }
    s.sync();
    return s.status() == QSettings::NoError;
}

std::string defaultFolderPattern()
{
    return (QDir::homePath() + QStringLiteral("/DOSPRN/*.prn")).toStdString();
}

} // namespace quillon
