#include "dialogs/about.h"

TAboutFM::TAboutFM(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("AboutFM"));
    setWindowTitle(QStringLiteral("Über Quennor"));
}
