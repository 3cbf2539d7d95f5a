#pragma once

#include <csignal>
#include <sys/resource.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

// A fresh directory for one test, removed afterwards, with helpers for whole files.
class TempDir
{
public:
    TempDir() { EXPECT_TRUE(Dir.isValid()); }

    QString Path(const QString& name) const { return Dir.filePath(name); }

    QString Write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

private:
    QTemporaryDir Dir;
};

// Points the per-user configuration (the recent-files store among it) at a fresh directory for
// the life of the object, so each test starts from an empty store.
class ConfigHome
{
public:
    ConfigHome()
        : Saved(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Dir.Path(QString())));
    }
    ~ConfigHome() { qputenv("XDG_CONFIG_HOME", Saved); }
    ConfigHome(const ConfigHome&) = delete;
    ConfigHome& operator=(const ConfigHome&) = delete;

    QString Hive(const char* name = "user.reg") const
    {
        return Dir.Path(QLatin1String("quennor/") + QLatin1String(name));
    }
    void WriteHive(const QByteArray& bytes) const
    {
        QDir().mkpath(Dir.Path(QStringLiteral("quennor")));
        Dir.Write(QStringLiteral("quennor/user.reg"), bytes);
    }

    TempDir Dir;

private:
    QByteArray Saved;
};

// Points $XDG_STATE_HOME, where saves in place keep their copies, at the given folder for the
// life of the object.
class StateHome
{
public:
    explicit StateHome(const QString& path)
        : Saved(qgetenv("XDG_STATE_HOME"))
    {
        qputenv("XDG_STATE_HOME", QFile::encodeName(path));
    }
    ~StateHome() { qputenv("XDG_STATE_HOME", Saved); }
    StateHome(const StateHome&) = delete;
    StateHome& operator=(const StateHome&) = delete;

private:
    QByteArray Saved;
};

// Makes writes fail as on a full disk, for the life of the object: files cannot grow past the
// given size (root included, unlike permissions).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Saved);
        Previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, Previous);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit Saved{};
    void (*Previous)(int) = nullptr;
};
