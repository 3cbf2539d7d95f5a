#include "unprivileged.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

constexpr int ChildMs = 60000;

} // namespace

bool RanAsNobody()
{
    if (geteuid() != 0)
        return false;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                 QStringLiteral("--clear-groups"), QStringLiteral("--"),
                 QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name()))});
    const bool finished = child.waitForFinished(ChildMs);
    const QByteArray output = child.readAll();
    EXPECT_TRUE(finished) << "the test as nobody did not end";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return true;
}

RefusedDevice::RefusedDevice()
{
    FMaster = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(FMaster, 0);
    EXPECT_EQ(grantpt(FMaster), 0);
    EXPECT_EQ(unlockpt(FMaster), 0);
    FPath = QString::fromLocal8Bit(ptsname(FMaster));
    EXPECT_EQ(chmod(QFile::encodeName(FPath).constData(), 0), 0);
}

RefusedDevice::~RefusedDevice()
{
    if (FMaster >= 0)
        close(FMaster);
}
