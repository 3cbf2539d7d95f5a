#include "app/finddialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

namespace {

// The field cuts text at its maximum length in UTF-16 units, which can split a surrogate pair
// (an emoji at the edge); a lone half would be searched for and inserted as a "?".
class WholeCharacters final : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& text, int& position) const override
    {
        for (qsizetype i = 0; i < text.size();) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                i += 2;
            } else if (text[i].isSurrogate()) {
                text.remove(i, 1);
                position -= position > i ? 1 : 0;
            } else {
                ++i;
            }
        }
        return Acceptable;
    }
};

QLineEdit* MakeField(QGridLayout* grid, int row, const QString& caption)
{
    auto* field = new QLineEdit;
    field->setMaxLength(FindDialog::MaxTextLength);
    field->setValidator(new WholeCharacters(field));
    field->setMinimumWidth(220);
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    return field;
}

} // namespace

FindDialog::FindDialog(Kind kind, QWidget* owner)
    : QDialog(owner)
    , FKind(kind)
{
    setObjectName(kind == Kind::Find ? QStringLiteral("MainFD") : QStringLiteral("MainRD"));
    setWindowTitle(kind == Kind::Find ? QStringLiteral("Suchen") : QStringLiteral("Ersetzen"));
    setModal(false);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(CreateFields(), 1);
    layout->addLayout(CreateButtons());
    setFixedSize(sizeHint());
    const auto enable = [this] {
        const bool any = !FindWhatED->text().isEmpty();
        for (QPushButton* button : {FindNextBT, ReplaceBT, ReplaceAllBT})
            if (button)
                button->setEnabled(any);
        emit SearchTextChanged();
    };
    connect(FindWhatED, &QLineEdit::textChanged, this, enable);
    enable();
}

QLayout* FindDialog::CreateFields()
{
    auto* grid = new QGridLayout;
    FindWhatED = MakeField(grid, 0, QStringLiteral("Suchen &nach:"));
    if (FKind == Kind::Replace)
        ReplaceWithED = MakeField(grid, 1, QStringLiteral("Ersetzen &durch:"));
    WholeWordCB = new QCheckBox(QStringLiteral("Nur &ganzes Wort suchen"));
    MatchCaseCB = new QCheckBox(QStringLiteral("Groß-/&Kleinschreibung"));
    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    column->addSpacing(8);
    column->addWidget(WholeWordCB);
    column->addWidget(MatchCaseCB);
    column->addStretch();
    return column;
}

QLayout* FindDialog::CreateButtons()
{
    auto* column = new QVBoxLayout;
    FindNextBT = new QPushButton(QStringLiteral("&Weitersuchen"));
    FindNextBT->setDefault(true);
    column->addWidget(FindNextBT);
    connect(FindNextBT, &QPushButton::clicked, this, &FindDialog::FindNext);
    if (FKind == Kind::Replace) {
        ReplaceBT = new QPushButton(QStringLiteral("&Ersetzen"));
        ReplaceAllBT = new QPushButton(QStringLiteral("&Alle ersetzen"));
        column->addWidget(ReplaceBT);
        column->addWidget(ReplaceAllBT);
        connect(ReplaceBT, &QPushButton::clicked, this, [this] { emit Replace(false); });
        connect(ReplaceAllBT, &QPushButton::clicked, this, [this] { emit Replace(true); });
    }
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"));
    column->addWidget(cancel);
    column->addStretch();
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return column;
}

QString FindDialog::SearchText() const
{
    return FindWhatED->text();
}

void FindDialog::SetSearchText(const QString& text)
{
    FindWhatED->setText(text);
}

QString FindDialog::ReplaceText() const
{
    return ReplaceWithED ? ReplaceWithED->text() : QString();
}

void FindDialog::SetReplaceText(const QString& text)
{
    if (ReplaceWithED)
        ReplaceWithED->setText(text);
}

bool FindDialog::WholeWord() const
{
    return WholeWordCB->isChecked();
}

bool FindDialog::MatchCase() const
{
    return MatchCaseCB->isChecked();
}

// Only the program's showing starts in the search field; a window restored from its icon keeps
// the field and selection the user left, so the next key does not overwrite the search text.
void FindDialog::setVisible(bool visible)
{
    const bool showing = visible && !isVisible();
    QDialog::setVisible(visible);
    if (showing) {
        FindWhatED->setFocus();
        FindWhatED->selectAll();
    }
}
