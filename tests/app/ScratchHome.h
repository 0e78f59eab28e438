#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include <stdlib.h>

// Points $HOME and the XDG folders at a fresh scratch folder for the life of the object
// and puts the previous values back afterwards, so no test touches the real home.
class ScratchHome {
public:
    ScratchHome()
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME",
                                 "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
            const char* value = ::getenv(name);
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
        home_ = dir_.path() + QStringLiteral("/home");
        config_ = dir_.path() + QStringLiteral("/config");
        runtime_ = dir_.path() + QStringLiteral("/runtime");
        QDir().mkpath(home_);
        QDir().mkpath(config_);
        QDir().mkpath(runtime_);
        QFile::setPermissions(runtime_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        set("HOME", home_);
        set("XDG_CONFIG_HOME", config_);
        set("XDG_RUNTIME_DIR", runtime_);
        set("XDG_DATA_HOME", dir_.path() + QStringLiteral("/data"));
        set("XDG_STATE_HOME", dir_.path() + QStringLiteral("/state"));
        set("XDG_CACHE_HOME", dir_.path() + QStringLiteral("/cache"));
    }
    ~ScratchHome()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    ScratchHome(const ScratchHome&) = delete;
    ScratchHome& operator=(const ScratchHome&) = delete;

    const QString& home() const { return home_; }
    const QString& config() const { return config_; }
    const QString& runtime() const { return runtime_; }
    QString path() const { return dir_.path(); }

private:
    static void set(const char* name, const QString& value)
    {
        ::setenv(name, QFile::encodeName(value).constData(), 1);
    }

    QTemporaryDir dir_;
    QString home_, config_, runtime_;
    std::map<std::string, std::optional<std::string>> saved_;
};
