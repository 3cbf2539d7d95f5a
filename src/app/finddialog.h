#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The modeless find dialog, and with a replacement field the replace dialog, laid out as the
// desktop's standard ones. It only collects the texts and options; the main window searches.
class FindDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FindDialog)

public:
    enum class Kind
    {
        Find,
        Replace,
    };
    static constexpr int MaxTextLength = 255;

    FindDialog(Kind kind, QWidget* owner);

    Kind DialogKind() const { return FKind; }
    QString SearchText() const;
    void SetSearchText(const QString& text);
    QString ReplaceText() const;
    void SetReplaceText(const QString& text);
    bool WholeWord() const;
    bool MatchCase() const;
    QLineEdit* SearchField() const { return FindWhatED; }
    QLineEdit* ReplaceField() const { return ReplaceWithED; }

    // Only the program's showing starts in the search field with its text selected.
    void setVisible(bool visible) override;

signals:
    void FindNext();
    void Replace(bool all);
    void SearchTextChanged();

private:
    QLayout* CreateFields();
    QLayout* CreateButtons();

    const Kind FKind;
    QLineEdit* FindWhatED = nullptr;
    QLineEdit* ReplaceWithED = nullptr;
    QCheckBox* WholeWordCB = nullptr;
    QCheckBox* MatchCaseCB = nullptr;
    QPushButton* FindNextBT = nullptr;
    QPushButton* ReplaceBT = nullptr;
    QPushButton* ReplaceAllBT = nullptr;
};
