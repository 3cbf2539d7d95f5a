#pragma once

#include <QByteArray>
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
        qputenv("XDG_CONFIG_HOME", Dir.path().toLocal8Bit());
    }
    ~ConfigHome() { qputenv("XDG_CONFIG_HOME", Saved); }
    ConfigHome(const ConfigHome&) = delete;
    ConfigHome& operator=(const ConfigHome&) = delete;

    QString Path() const { return Dir.path(); }

private:
    QByteArray Saved;
    QTemporaryDir Dir;
};
