#pragma once

#include <memory>

#include <QPlainTextEdit>

#include "editor/syntaxcolours.h"

class Highlighter;

// The text control of the editor and of the listing pane: a plain-text edit with syntax
// colours, line numbers in a gutter, the caret's line lightly marked and the bracket beside the
// caret marked with its partner. None of it touches the text, the undo stack, the modified
// flag, the caret or the selection.
class SourceEdit final : public QPlainTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SourceEdit)

public:
    enum class Language
    {
        C,
        Listing,
    };

    explicit SourceEdit(Language language, QWidget* parent = nullptr);
    ~SourceEdit() override;

    // Switched off, the control looks and works like a plain text edit.
    void SetDecorated(bool decorated);
    bool Decorated() const { return FHighlighter != nullptr; }
    // True when the colouring has followed the whole document, also the part not shown yet.
    bool ColouringSettled() const;
    QWidget* Gutter() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    class LineNumbers;

    void PaintGutter(QPaintEvent* event);
    int GutterWidth() const;
    void UpdateGutterWidth();
    void PlaceGutter();
    void UpdateGutter(const QRect& rect, int dy);
    void UpdateMarks();
    QTextEdit::ExtraSelection BracketMark(int position, const QColor& colour) const;
    void ApplyPalette();
    QTextBlock LastVisibleBlock() const;

    const Language FLanguage;
    std::unique_ptr<Highlighter> FHighlighter;
    SyntaxColours FColours;
    LineNumbers* FGutter = nullptr;
    // While the gutter's width changes: by how much it grows.
    int FGutterGrowth = 0;
};
