#pragma once

#include <optional>
#include <vector>

#include <QMessageBox>
#include <QString>

class QWidget;

// One message box as the user is asked it.
struct MessageSpec
{
    QString Text;
    QString Caption;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QWidget* Owner = nullptr; // none: a box of its own, owned by no window
    // Placed beside the owner's window rather than over it, where it asks about what it shows.
    bool BesideOwner = false;
};

// One entry of a file dialog's type list: the text shown and the pattern it lists.
struct FileFilter
{
    QString Label;
    QString Pattern;
};

struct FileDialogSpec
{
    std::vector<FileFilter> Filters;
    QString FileName;      // preset name, empty for none
    QString DefaultSuffix; // added to a name typed without one (save dialogs)
    QWidget* Owner = nullptr;
};

// A whole number asked for in a box of its own; the field takes only numbers in the range.
struct NumberSpec
{
    QString Text; // the label above the field
    QString Caption;
    int Value = 0; // preset
    int Minimum = 0;
    int Maximum = 0;
    QWidget* Owner = nullptr;
};

// Every question, notice and file choice put to the user goes through here, so that tests can
// answer them from a script and see exactly what was asked.
class Prompts
{
public:
    virtual ~Prompts() = default;

    // The button pressed; closing the box without a choice gives its escape button.
    virtual QMessageBox::StandardButton Message(const MessageSpec& request) = 0;
    // The chosen existing file, empty when cancelled.
    virtual QString OpenFileName(const FileDialogSpec& request) = 0;
    // The chosen file to write, empty when cancelled. Its folder exists; an existing file is
    // only returned after the user agreed to replace it, and never when it is read-only.
    virtual QString SaveFileName(const FileDialogSpec& request) = 0;
    // The number entered, empty when cancelled.
    virtual std::optional<int> Number(const NumberSpec& request) = 0;
};
