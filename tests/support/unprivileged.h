#pragma once

#include <grp.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// Root may write everywhere, so cases about permissions run again in a child process as the user
// nobody (group nogroup). The parent, still root, sets up the files; the child acts and checks.
namespace Unprivileged {

inline constexpr char FixtureVariable[] = "QUENNOR_UNPRIVILEGED_FIXTURE";

// True in the child; the folder the parent prepared is then Fixture().
inline bool InChild()
{
    return qEnvironmentVariableIsSet(FixtureVariable);
}

inline QString Fixture()
{
    return qEnvironmentVariable(FixtureVariable);
}

inline gid_t GroupId(const char* name)
{
    const group* entry = getgrnam(name);
    return entry ? entry->gr_gid : gid_t(-1);
}

// The arguments of setpriv that start a command as nobody, group nogroup, with groups
// (comma-separated) as its supplementary groups; without groups it has none.
inline QStringList AsNobody(const QString& groups)
{
    return {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
            groups.isEmpty() ? QStringLiteral("--clear-groups")
                             : QStringLiteral("--groups=") + groups};
}

// Runs the current test again as nobody, with groups (comma-separated) as its supplementary
// groups, and fails it when the child's run fails.
inline void RunAsNobody(const QString& fixture, const QString& groups = QStringLiteral("nogroup"))
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(FixtureVariable), fixture);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                AsNobody(groups) + QStringList{QCoreApplication::applicationFilePath(),
                                               QStringLiteral("--gtest_filter=%1.%2")
                                                   .arg(QLatin1String(test->test_suite_name()),
                                                        QLatin1String(test->name()))});
    ASSERT_TRUE(child.waitForFinished(60000)) << "the child did not end";
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.constData();
}

} // namespace Unprivileged
