#pragma once

#include <QDialog>

// The About dialog: product, version, copyright and the maker's links.
class TAboutFM final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAboutFM)

public:
    explicit TAboutFM(QWidget* owner);
};
