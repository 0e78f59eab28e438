#include "app/Preferences.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

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

QString filePath()
{
    // GenericConfigLocation follows $XDG_CONFIG_HOME and falls back to ~/.config.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Quorly/Quorly.conf");
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
    return store().contains(key);
}

QString string(const QString& key)
{
    return store().value(key).toString();
}

qint64 integer(const QString& key)
{
    return store().value(key).toLongLong();
}

bool boolean(const QString& key)
{
    return store().value(key).toBool();
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
