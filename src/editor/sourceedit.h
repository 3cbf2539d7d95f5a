#pragma once

#include <memory>
#include <optional>

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include "editor/brackets.h"
#include "editor/messagemarks.h"
#include "editor/syntaxcolours.h"

class Highlighter;
class QHelpEvent;

// The text control of the editor and of the listing pane: a plain-text edit with syntax
// colours, line numbers in a gutter, the caret's line lightly marked, the bracket beside the
// caret marked with its partner, and the lines compiler messages name marked in the gutter.
// None of it touches the text, the undo stack, the modified flag, the caret or the selection.
// Enter keeps the line's indentation, one level more after an opening brace.
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

    // The marks of a build's messages, each for its row in the message list.
    void AddMessageMark(int row, int line, MessageMarks::Kind kind, const QString& text);
    void ClearMessageMarks();
    // The line (counted from 0) the row's mark is on now; -1 when the row has none.
    int MessageMarkLine(int row) const { return FMessageMarks.BlockOf(row); }

    // Characters a bracket search looks at within one event; the rest follows between events.
    static constexpr qsizetype BracketStep = 1000;
    // True while the partner of the bracket beside the caret is still looked for.
    bool BracketSearchPending() const;
    // Lines at least this long keep their shaped text while the caret is on them.
    static constexpr int LongLine = 500;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    class LineNumbers;

    bool Indent(const QKeyEvent& event);
    bool InCommentOrLiteral(const QTextBlock& block, const QString& before) const;
    void PaintCurrentLine();
    QRectF CaretLine() const;
    QRect InView(const QRectF& line) const;
    void PaintGutter(QPaintEvent* event);
    void ShowGutterToolTip(QHelpEvent* event);
    int GutterWidth() const;
    void UpdateGutterWidth();
    void PlaceGutter();
    void UpdateGutter(const QRect& rect, int dy);
    void CaretMoved();
    void KeepCaretLineShaped();
    void SearchBracket();
    void ContinueBracketSearch();
    void ShowBracketMarks();
    QTextEdit::ExtraSelection BracketMark(int position, const QColor& colour) const;
    void ApplyPalette();
    QTextBlock LastBlockInView() const;

    const Language FLanguage;
    std::unique_ptr<Highlighter> FHighlighter;
    SyntaxColours FColours;
    LineNumbers* FGutter = nullptr;
    // While the gutter's width changes: by how much it grows.
    int FGutterGrowth = 0;
    std::optional<BracketSearch> FBracketSearch;
    QTimer FBracketTimer;
    MessageMarks FMessageMarks;
    // The caret's line where its mark was last drawn.
    QRectF FCaretLine;
    // In the long line whose shaped text is kept; null when none is. A cursor follows the edits.
    QTextCursor FShapedLine;
};
