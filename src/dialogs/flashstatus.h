#pragma once

#include <QDialog>

// The flash dialog: programs and verifies a binary image on the board's chip.
class TFlashFM final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFlashFM)

public:
    explicit TFlashFM(QWidget* owner);
};
