#include "dialogs/about.h"

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

namespace {

// Stands in for the desktop's browser and mail program.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open");
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "Open");
    }
    ~UrlCatcher() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    }

    QList<QUrl> Opened;

public slots:
    void Open(const QUrl& url) { Opened << url; }
};

// A press at one point of the label and the release at another.
void Click(QLabel* label, Qt::MouseButton button = Qt::LeftButton, QPointF release = {5, 5})
{
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)),
                     button, button, Qt::NoModifier);
    QMouseEvent up(QEvent::MouseButtonRelease, release, label->mapToGlobal(release), button,
                   Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &down);
    QCoreApplication::sendEvent(label, &up);
}

} // namespace

TEST(AboutVersion, MajorAndMinorFromTheProductVersionBuildFromTheFileVersion)
{
    EXPECT_EQ(VersionText(VersionRecordFrom(u"1.2.0.48", u"1.2.0.48")),
              QStringLiteral("Version 1.2 Build 48"));
    EXPECT_EQ(VersionText(VersionRecordFrom(u"1.2.0.48", u"2.5.7.9")),
              QStringLiteral("Version 2.5 Build 48"));
    EXPECT_EQ(VersionText(VersionRecordFrom(u"65535.1.2.65535", u"10.20.3.4")),
              QStringLiteral("Version 10.20 Build 65535"));
    EXPECT_EQ(VersionText(std::nullopt), QStringLiteral("Interne Version"));
    EXPECT_EQ(VersionRecordFrom(u"1.2.0", u"1.2.0.48"), std::nullopt);
    EXPECT_EQ(VersionRecordFrom(u"1.2.0.48", u"1.2.0.65536"), std::nullopt);
    EXPECT_EQ(VersionRecordFrom(u"", u""), std::nullopt);
}

TEST(AboutDialog, ShowsTheBuildsVersionAndOpensTheMakersLinks)
{
    TAboutFM about(nullptr);
    about.show();
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Über Quennor"));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("VersionLB"))->text(),
              QStringLiteral("Version 1.2 Build 48"));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("CopyrightLB"))->text(),
              QStringLiteral("© 2026 Tarnwick"));

    for (const char* name : {"WebLB", "MailLB"}) {
        const auto* link = about.findChild<QLabel*>(QLatin1String(name));
        EXPECT_GE(link->width(), link->fontMetrics().horizontalAdvance(link->text()))
            << name << " shows its whole address";
    }

    UrlCatcher desktop;
    Click(about.findChild<QLabel*>(QStringLiteral("WebLB")));
    Click(about.findChild<QLabel*>(QStringLiteral("MailLB")));
    EXPECT_EQ(desktop.Opened, QList<QUrl>({QUrl("https://www.tarnwick.example/quennor/"),
                                           QUrl("mailto:quennor@tarnwick.example")}));
}

// A link opens like a button: a left press released over it. Other buttons, and a press taken
// off the label before the release, open nothing.
TEST(AboutDialog, OnlyALeftClickOverALinkOpensIt)
{
    TAboutFM about(nullptr);
    about.show();
    auto* web = about.findChild<QLabel*>(QStringLiteral("WebLB"));
    UrlCatcher desktop;
    Click(web, Qt::RightButton);
    Click(web, Qt::MiddleButton);
    Click(web, Qt::LeftButton, QPointF(-20, 5));
    Click(web, Qt::LeftButton, QPointF(5, web->height() + 10));
    EXPECT_TRUE(desktop.Opened.isEmpty());
    Click(web, Qt::LeftButton, QPointF(web->width() - 2, 5));
    EXPECT_EQ(desktop.Opened, QList<QUrl>({QUrl("https://www.tarnwick.example/quennor/")}));
}

// The links were plain labels that neither Tab nor a screen reader reached. Enter on a link opens
// it and leaves the dialog open; OK has the focus when the dialog opens.
TEST(AboutDialog, LinksAreReachedAndOpenedByKeyboardAndScreenReader)
{
    TAboutFM about(nullptr);
    about.show();
    QApplication::setActiveWindow(&about);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    auto* web = about.findChild<QLabel*>(QStringLiteral("WebLB"));
    auto* mail = about.findChild<QLabel*>(QStringLiteral("MailLB"));
    EXPECT_EQ(QApplication::focusWidget(), about.findChild<QPushButton*>(QStringLiteral("OKBT")));
    UrlCatcher desktop;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), web);
    QTest::keyClick(web, Qt::Key_Return);
    QTest::keyClick(web, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), mail);
    QTest::keyClick(mail, Qt::Key_Space);
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(web);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), TAboutFM::WebAddress);
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(desktop.Opened,
              QList<QUrl>({QUrl(TAboutFM::WebAddress), QUrl("mailto:" + TAboutFM::MailAddress),
                           QUrl(TAboutFM::WebAddress)}));
    EXPECT_TRUE(about.isVisible());
}

#include "about_test.moc"
