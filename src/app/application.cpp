#include "app/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

void SetUpApplication(QApplication& application)
{
    QApplication::setApplicationName(QStringLiteral("Quennor"));
    auto* translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_de"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}
