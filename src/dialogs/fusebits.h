#pragma once

#include <QDialog>

// The fuse bits dialog: reads and writes the two fuse bytes of an ATtiny26.
class TFuseBitsFM final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFuseBitsFM)

public:
    explicit TFuseBitsFM(QWidget* owner);
};
