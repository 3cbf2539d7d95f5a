#include "dialogs/qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

#include "app/application.h"

namespace {

QStringList ButtonTexts(const QMessageBox& box)
{
    QStringList texts;
    for (const auto button :
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok})
        if (const QAbstractButton* shown = box.button(button))
            texts << shown->text();
    return texts;
}

} // namespace

TEST(QtPrompts, MessageBoxesSpeakGermanAndKeepTheirCaption)
{
    SetUpApplication(*qApp);
    const auto box = QtPrompts::MakeMessageBox(
        {QStringLiteral("Datei ist nicht gespeichert. Jetzt speichern?"), QStringLiteral("Warnung"),
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning});
    EXPECT_EQ(ButtonTexts(*box), QStringList({"&Ja", "&Nein", "Abbrechen"}));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Warnung"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::Cancel))
        << "closing the box without a choice cancels";
}

TEST(QtPrompts, FileTypeListShowsTheLabelsAndListsAllFilesForStarDotStar)
{
    const QStringList filters = QtPrompts::QtNameFilters(
        {{QStringLiteral("C - Dateien (*.c)"), QStringLiteral("*.c")},
         {QStringLiteral("Alle Dateien"), QStringLiteral("*.*")},
         {QStringLiteral("Binärdateien (*.bin)"), QStringLiteral("*.bin")}});
    EXPECT_EQ(filters,
              QStringList({"C - Dateien (*.c)", "Alle Dateien (*)", "Binärdateien (*.bin)"}));

    const auto dialog = QtPrompts::MakeFileDialog(
        {{{QStringLiteral("C - Dateien (*.c)"), QStringLiteral("*.c")}}, {}, QStringLiteral("c")},
        true);
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("c"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
}
