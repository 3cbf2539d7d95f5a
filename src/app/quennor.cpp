#include <exception>

#include <QApplication>

#include "app/application.h"
#include "app/main.h"
#include "dialogs/about.h"
#include "dialogs/flashstatus.h"
#include "dialogs/fusebits.h"
#include "dialogs/qtprompts.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SetUpApplication(application);
    QtPrompts prompts;
    TMainFM mainFM(prompts, QApplication::arguments().mid(1));
    try {
        auto* flashFM = new TFlashFM(&mainFM, prompts);
        auto* aboutFM = new TAboutFM(&mainFM);
        auto* fuseBitsFM = new TFuseBitsFM(&mainFM, prompts);
        mainFM.SetDialogs({flashFM, aboutFM, fuseBitsFM});
        mainFM.show();
        QApplication::exec();
    } catch (const std::exception& error) {
        mainFM.ShowException(error);
    }
    return 0;
}
