#pragma once

#include <memory>

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Tests run headless and never touch the user's own configuration or state: the returned folder
// stands in for both until the program ends.
inline std::unique_ptr<QTemporaryDir> PrepareTestEnvironment(int& argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    auto config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", config->path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", config->filePath(QStringLiteral("state")).toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return config;
}
