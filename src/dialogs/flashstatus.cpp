#include "dialogs/flashstatus.h"

TFlashFM::TFlashFM(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("FlashFM"));
    setWindowTitle(QStringLiteral("Information"));
}
