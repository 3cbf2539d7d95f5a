#include "dialogs/fusebits.h"

TFuseBitsFM::TFuseBitsFM(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("FuseBitsFM"));
    setWindowTitle(QStringLiteral("Fuse Bits"));
}
