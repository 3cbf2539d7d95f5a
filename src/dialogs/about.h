#pragma once

#include <cstdint>
#include <optional>

#include <QDialog>
#include <QStringView>

class LinkLabel;
class QLabel;
class QPushButton;

// A program's version record: file and product version, each as four 16-bit parts held in two
// 32-bit values (major << 16 | minor, release << 16 | build).
struct TVersionRecord
{
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0;
    std::uint32_t ProductVersionLS = 0;
};

// The record from two "major.minor.release.build" texts; empty when either is not one.
std::optional<TVersionRecord> VersionRecordFrom(QStringView fileVersion,
                                                QStringView productVersion);

// This program's record, fixed when it was built.
std::optional<TVersionRecord> GetVersionInfo();

// "Version <product major>.<product minor> Build <file build>", or "Interne Version" without
// a record.
QString VersionText(const std::optional<TVersionRecord>& record);

// The About dialog: product, version, copyright and the maker's links.
class TAboutFM final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAboutFM)

public:
    explicit TAboutFM(QWidget* owner);

    static const QString WebAddress;
    static const QString MailAddress;

    // Only a showing by the program runs the show handler; a restore from the window's icon shows
    // it exactly as it was.
    void setVisible(bool visible) override;

private:
    void FormShow();
    void WebLBClick();
    void MailLBClick();

    QLabel* TitleLB = nullptr;
    QLabel* VersionLB = nullptr;
    QLabel* CopyrightLB = nullptr;
    LinkLabel* WebLB = nullptr;
    LinkLabel* MailLB = nullptr;
    QPushButton* OKBT = nullptr;
};
