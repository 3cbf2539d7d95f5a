#pragma once

class QApplication;

// Titles the application "Quennor" and puts Qt's own texts (standard buttons, file dialogs)
// into German. No display name is set, so window captions stay exactly as the program sets them.
void SetUpApplication(QApplication& application);
