#pragma once

#include <memory>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Tests and benchmarks run headless and never touch the user's own configuration or state: the
// returned folder stands in for both until it goes.
inline std::unique_ptr<QTemporaryDir> IsolateUserFolders()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    auto folder = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder->filePath(QStringLiteral("config"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder->filePath(QStringLiteral("state"))));
    return folder;
}

inline std::unique_ptr<QTemporaryDir> PrepareTestEnvironment(int& argc, char* argv[])
{
    auto folder = IsolateUserFolders();
    ::testing::InitGoogleTest(&argc, argv);
    return folder;
}
