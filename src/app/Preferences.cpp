#include "app/Preferences.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace quorly {

namespace {

struct OpenStore {
    QString path;
    std::unique_ptr<QSettings> settings;
};

OpenStore& openStore()
{
    static OpenStore current;
    return current;
}

}  // namespace

namespace Preferences {

namespace {

// The store as it is on disk now. QSettings rereads its file only when asked to sync,
// and every other writer of the file (the preferences panel of a second Quorly, the
// user's text editor) works through an object of its own; without this a reader keeps
// the values it saw first for as long as the process lives. A sync with nothing to write
// costs one stat of the file.
QSettings& current()
{
    QSettings& settings = store();
    settings.sync();
    return settings;
}

}  // namespace

QString filePath()
{
    // GenericConfigLocation follows $XDG_CONFIG_HOME and falls back to ~/.config. A
    // relative $XDG_CONFIG_HOME is invalid by the base-directory rules (and would name
    // another file whenever the current folder changes), so it counts as unset.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/Quorly/Quorly.conf"));
}

QSettings& store()
{
    // The path is looked up at every call so that a changed $HOME or $XDG_CONFIG_HOME
    // (tests use scratch folders) is honoured; the object is only replaced when it moved.
    OpenStore& current = openStore();
    const QString path = filePath();
    if (!current.settings || current.path != path) {
        if (current.settings)
            current.settings->sync();
        current.settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
        current.path = path;
    }
    return *current.settings;
}

bool contains(const QString& key)
{
    return current().contains(key);
}

QVariant value(const QString& key)
{
    return current().value(key);
}

QString string(const QString& key)
{
    return value(key).toString();
}

qint64 integer(const QString& key)
{
    return value(key).toLongLong();
}

bool boolean(const QString& key)
{
    return value(key).toBool();
}

QStringList allKeys()
{
    return current().allKeys();
}

void setString(const QString& key, const QString& value)
{
    store().setValue(key, value);
    store().sync();
}

void setInteger(const QString& key, qint64 value)
{
    store().setValue(key, value);
    store().sync();
}

void setBool(const QString& key, bool value)
{
    store().setValue(key, value);
    store().sync();
}

void setValues(const QList<std::pair<QString, QVariant>>& values)
{
    QSettings& settings = store();
    for (const auto& [key, value] : values)
        settings.setValue(key, value);
    settings.sync();
}

void remove(const QString& key)
{
    store().remove(key);
    store().sync();
}

void sync()
{
    store().sync();
}

}  // namespace Preferences

}  // namespace quorly
