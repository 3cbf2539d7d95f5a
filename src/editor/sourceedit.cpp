#include "editor/sourceedit.h"

#include <cmath>

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

#include "editor/csyntax.h"
#include "editor/documenttext.h"
#include "editor/highlighter.h"
#include "editor/indentation.h"
#include "editor/listingsyntax.h"

namespace {

constexpr int GutterPadding = 4;

SyntaxDefinition DefinitionFor(SourceEdit::Language language)
{
    if (language == SourceEdit::Language::C)
        return {ScanCLine, true};
    return {ScanListingLine, false};
}

} // namespace

// The gutter left of the text; the edit paints it, since only the edit knows where its lines are.
class SourceEdit::LineNumbers final : public QWidget
{
public:
    explicit LineNumbers(SourceEdit& edit)
        : QWidget(&edit)
        , Edit(edit)
    {}

protected:
    void paintEvent(QPaintEvent* event) override { Edit.PaintGutter(event); }
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return QWidget::event(event);
        Edit.ShowGutterToolTip(static_cast<QHelpEvent*>(event));
        return true;
    }

private:
    SourceEdit& Edit;
};

SourceEdit::SourceEdit(Language language, QWidget* parent)
    : QPlainTextEdit(parent)
    , FLanguage(language)
    , FGutter(new LineNumbers(*this))
{
    connect(this, &QPlainTextEdit::blockCountChanged, this, &SourceEdit::UpdateGutterWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &SourceEdit::UpdateGutter);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &SourceEdit::CaretMoved);
    connect(document(), &QTextDocument::contentsChange, this, &SourceEdit::SearchBracket);
    FBracketTimer.setSingleShot(true);
    FBracketTimer.setInterval(0);
    connect(&FBracketTimer, &QTimer::timeout, this, &SourceEdit::ContinueBracketSearch);
    SetDecorated(true);
}

SourceEdit::~SourceEdit()
{
    // The base classes still destroy the document and the viewport, which may signal on the
    // way; the handlers must not run on a control that is no longer a SourceEdit.
    disconnect(this, nullptr, this, nullptr);
    disconnect(document(), nullptr, this, nullptr);
}

void SourceEdit::SetDecorated(bool decorated)
{
    if (decorated == Decorated())
        return;
    if (decorated) {
        FHighlighter = std::make_unique<Highlighter>(*document(), DefinitionFor(FLanguage));
        connect(FHighlighter.get(), &Highlighter::FormatsOutdated, viewport(),
                qOverload<>(&QWidget::update));
        ApplyPalette();
        UpdateGutterWidth();
    } else {
        FBracketTimer.stop();
        FBracketSearch.reset();
        FHighlighter->RemoveFormats();
        FHighlighter.reset();
        setViewportMargins(0, 0, 0, 0);
        setExtraSelections({});
    }
    FGutter->setVisible(decorated);
    viewport()->update();
}

bool SourceEdit::ColouringSettled() const
{
    return !FHighlighter || FHighlighter->Settled();
}

QWidget* SourceEdit::Gutter() const
{
    return FGutter;
}

void SourceEdit::AddMessageMark(int row, int line, MessageMarks::Kind kind, const QString& text)
{
    FMessageMarks.Add(*document(), row, line, kind, text);
    FGutter->update();
}

void SourceEdit::ClearMessageMarks()
{
    FMessageMarks.Clear();
    FGutter->update();
}

bool SourceEdit::BracketSearchPending() const
{
    return FBracketSearch && FBracketSearch->Result() == BracketSearch::Outcome::Pending;
}

void SourceEdit::paintEvent(QPaintEvent* event)
{
    if (FHighlighter) {
        FHighlighter->Colour(firstVisibleBlock(), LastBlockInView());
        PaintCurrentLine();
    }
    QPlainTextEdit::paintEvent(event);
}

// Drawn here under the text, not as a full-width selection: that would cover the target line's
// own background, and on an empty line Qt asks the input method for the writing direction to
// draw it, which a Wayland session without a keyboard cannot answer.
void SourceEdit::PaintCurrentLine()
{
    FCaretLine = CaretLine();
    QPainter(viewport()).fillRect(InView(FCaretLine), FColours.CurrentLine);
}

// The caret's line in the document's coordinates, which scrolling leaves as they are.
QRectF SourceEdit::CaretLine() const
{
    const QTextCursor caret = textCursor();
    const QTextBlock block = caret.block();
    const QRectF bounds = blockBoundingGeometry(block);
    const QTextLine line = block.layout()->lineForTextPosition(caret.positionInBlock());
    return line.isValid() ? QRectF(0, bounds.top() + line.y(), 1, line.height()) : bounds;
}

QRect SourceEdit::InView(const QRectF& line) const
{
    return QRectF(0, line.top() + contentOffset().y(), viewport()->width(), line.height())
        .toAlignedRect();
}

// Without wrapping, a gutter that grows moves the text but changes none of its lines; Qt would
// still lay out every line again, a pass that takes a good part of a second on 20 MB and that
// a plain edit would not make. The layout keeps its width then, a little wider than the view,
// which shows nowhere.
void SourceEdit::resizeEvent(QResizeEvent* event)
{
    if (FGutterGrowth > 0 && event->oldSize().width() - event->size().width() == FGutterGrowth &&
        lineWrapMode() == NoWrap) {
        QResizeEvent keptWidth(event->size(),
                               QSize(event->size().width(), event->oldSize().height()));
        QPlainTextEdit::resizeEvent(&keptWidth);
    } else {
        QPlainTextEdit::resizeEvent(event);
    }
    PlaceGutter();
}

void SourceEdit::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateGutterWidth();
    else if (event->type() == QEvent::PaletteChange)
        ApplyPalette();
}

// A read-only control ignores Tab, and its parent would then move the focus on with it.
void SourceEdit::keyPressEvent(QKeyEvent* event)
{
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if ((isReadOnly() && tab && !tabChangesFocus()) || (!isReadOnly() && Indent(*event)))
        return event->accept();
    QPlainTextEdit::keyPressEvent(event);
}

bool SourceEdit::focusNextPrevChild(bool next)
{
    return tabChangesFocus() && QPlainTextEdit::focusNextPrevChild(next);
}

// Enter starts the new line with the indentation it should have, and a closing brace typed on an
// indented line of nothing but blanks, outside a comment, takes one level off; either is one
// step to undo. Shift+Enter is Enter too: a line break inside one text line would give the file
// a line end that the gutter, the caret panel and a compiler's line numbers count one line less
// above.
bool SourceEdit::Indent(const QKeyEvent& event)
{
    const bool enter = (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
                       !(event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    if (!enter && event.text() != u"}")
        return false;
    QTextCursor caret = textCursor();
    const QString line = caret.block().text();
    const QString before = line.first(caret.positionInBlock());
    const bool closing = !enter && !caret.hasSelection() && !before.isEmpty() &&
                         line.trimmed().isEmpty() && !InCommentOrLiteral(caret.block(), before);
    if (!enter && !closing)
        return false;
    caret.beginEditBlock();
    if (closing) {
        caret.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        caret.insertText(ClosingBraceIndent(before, IndentUnit(*document())) + u'}');
    } else {
        caret.removeSelectedText();
        const QString joined = caret.block().text();
        const QString indent = NewLineIndent(QStringView(joined).first(caret.positionInBlock()),
                                             IndentUnit(*document()));
        // The line break goes in after its indentation, so that the step ends in it: a letter
        // typed next would otherwise join the step and be undone with it.
        const int at = caret.position();
        caret.insertText(indent);
        caret.setPosition(at);
        caret.insertBlock();
        caret.setPosition(at + 1 + int(indent.size()));
    }
    caret.endEditBlock();
    setTextCursor(caret);
    ensureCursorVisible();
    return true;
}

// Whether a brace typed after before, the start of the block, would be part of a block comment
// or a literal that a line before it left open.
bool SourceEdit::InCommentOrLiteral(const QTextBlock& block, const QString& before) const
{
    if (!FHighlighter)
        return false;
    for (const SyntaxToken& token : FHighlighter->Tokens(block, before + u'}'))
        if (token.Start <= before.size() && before.size() < token.Start + token.Length)
            return token.Kind == SyntaxKind::Comment || token.Kind == SyntaxKind::String;
    return false;
}

// Qt copies no-break spaces as blanks, and the stand-ins of the document would reach other
// programs as lone surrogates: the clipboard gets the characters a file holds, and a paste
// takes them in as loading a file does. Cut and paste thus move text without changing it.
QMimeData* SourceEdit::createMimeDataFromSelection() const
{
    auto* data = new QMimeData;
    data->setText(FileText(textCursor().selectedText()));
    return data;
}

void SourceEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return QPlainTextEdit::insertFromMimeData(source);
    QMimeData text;
    text.setText(ToDocument(source->text()));
    QPlainTextEdit::insertFromMimeData(&text);
}

// Found without laying a block out, so that the blocks are coloured before their first layout:
// a block is at least a line of the font high, so the lines of the view, counted from the first
// block, reach at least as far as the view does. The font's unrounded height is counted, as a
// laid-out line is never lower than that, and a rounded one can be higher.
QTextBlock SourceEdit::LastBlockInView() const
{
    QTextBlock block = firstVisibleBlock();
    const qreal lineHeight = QFontMetricsF(document()->defaultFont()).height();
    for (int lines = int(std::ceil(viewport()->height() / lineHeight)); lines > 0; --lines) {
        if (!block.next().isValid())
            break;
        block = block.next();
    }
    return block;
}

int SourceEdit::GutterWidth() const
{
    const int digits = int(QString::number(std::max(1, blockCount())).size());
    return 2 * GutterPadding + fontMetrics().horizontalAdvance(u'9') * digits;
}

// Switched off, the control does no more than a plain text edit would.
void SourceEdit::UpdateGutterWidth()
{
    if (!Decorated())
        return;
    const int width = GutterWidth();
    FGutterGrowth = width - viewportMargins().left();
    setViewportMargins(width, 0, 0, 0);
    FGutterGrowth = 0;
    PlaceGutter();
}

void SourceEdit::PlaceGutter()
{
    const QRect area = contentsRect();
    FGutter->setGeometry(area.left(), area.top(), GutterWidth(), area.height());
}

void SourceEdit::UpdateGutter(const QRect& rect, int dy)
{
    if (!Decorated())
        return;
    if (dy)
        FGutter->scroll(0, dy);
    else
        FGutter->update(0, rect.y(), FGutter->width(), rect.height());
}

void SourceEdit::PaintGutter(QPaintEvent* event)
{
    QPainter painter(FGutter);
    painter.fillRect(event->rect(), FColours.GutterBackground);
    const int current = textCursor().blockNumber();
    QTextBlock block = firstVisibleBlock();
    int number = block.blockNumber();
    const std::map<int, MessageMarks::Shown> marks =
        FMessageMarks.Between(number, LastBlockInView().blockNumber());
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        const QRectF line(0, top, FGutter->width(), height);
        if (number == current)
            painter.fillRect(line, FColours.GutterCurrentLine);
        const auto mark = marks.find(number);
        if (mark != marks.end())
            painter.fillRect(line.adjusted(1, 1, -1, -1),
                             mark->second.Worst == MessageMarks::Kind::Error
                                 ? FColours.ErrorMark
                                 : FColours.WarningMark);
        painter.setPen(number == current || mark != marks.end() ? FColours.GutterCurrentText
                                                                : FColours.GutterText);
        painter.drawText(QRectF(0, top, FGutter->width() - GutterPadding, fontMetrics().height()),
                         Qt::AlignRight, QString::number(number + 1));
        top += height;
        block = block.next();
        ++number;
    }
}

// Below the last line the caret's position is the end of the text, but the place is no line.
void SourceEdit::ShowGutterToolTip(QHelpEvent* event)
{
    const QTextBlock block = cursorForPosition(QPoint(0, event->pos().y())).block();
    const bool onLine =
        event->pos().y() < blockBoundingGeometry(block).translated(contentOffset()).bottom();
    const int line = block.blockNumber();
    const std::map<int, MessageMarks::Shown> marks = FMessageMarks.Between(line, line);
    if (!onLine || marks.empty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), MessageToolTip(marks.begin()->second.Text), FGutter);
}

// The caret's line mark is drawn with the text: only the line left and the line reached are
// painted anew, since a view of long lines is costly to draw.
void SourceEdit::CaretMoved()
{
    KeepCaretLineShaped();
    if (!Decorated())
        return;
    FBracketSearch.emplace(*FHighlighter, textCursor().position());
    FBracketSearch->Step(BracketStep);
    if (BracketSearchPending())
        FBracketTimer.start();
    else
        FBracketTimer.stop();
    ShowBracketMarks();
    if (const QRectF line = CaretLine(); line != FCaretLine) {
        viewport()->update(InView(FCaretLine));
        viewport()->update(InView(line));
        FCaretLine = line;
    }
    FGutter->update();
}

// Qt throws a line's shaped text away after each layout and shapes the whole line again to draw
// it and again to place the caret: in a line of thousands of characters, most of a keystroke.
// The caret's line keeps it while the caret is on it; the line left is laid out once more, which
// lets its shaped text go, so that at most one line holds it.
void SourceEdit::KeepCaretLineShaped()
{
    const QTextBlock block = textCursor().block();
    if (!FShapedLine.isNull() && FShapedLine.block() == block)
        return;
    if (!FShapedLine.isNull() && FShapedLine.document() == document()) {
        const QTextBlock left = FShapedLine.block();
        left.layout()->setCacheEnabled(false);
        document()->markContentsDirty(left.position(), left.length());
    }
    FShapedLine = QTextCursor();
    if (block.length() >= LongLine) {
        block.layout()->setCacheEnabled(true);
        FShapedLine = QTextCursor(block);
    }
}

// The positions a search went by no longer hold after an edit: it starts again from the caret
// once the edit is done.
void SourceEdit::SearchBracket()
{
    FBracketSearch.reset();
    if (Decorated())
        FBracketTimer.start();
}

void SourceEdit::ContinueBracketSearch()
{
    if (!FBracketSearch)
        FBracketSearch.emplace(*FHighlighter, textCursor().position());
    if (FBracketSearch->Step(BracketStep) == BracketSearch::Outcome::Pending)
        FBracketTimer.start();
    else
        ShowBracketMarks();
}

// Nothing is marked while the partner is still looked for.
void SourceEdit::ShowBracketMarks()
{
    QList<QTextEdit::ExtraSelection> marks;
    if (FBracketSearch && FBracketSearch->Result() == BracketSearch::Outcome::Found) {
        const BracketPair pair = FBracketSearch->Pair();
        const QColor colour = pair.Match < 0 ? FColours.UnmatchedBracket : FColours.Bracket;
        marks.append(BracketMark(pair.Position, colour));
        if (pair.Match >= 0)
            marks.append(BracketMark(pair.Match, colour));
    }
    setExtraSelections(marks);
}

QTextEdit::ExtraSelection SourceEdit::BracketMark(int position, const QColor& colour) const
{
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(document());
    mark.cursor.setPosition(position);
    mark.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    mark.format.setBackground(colour);
    return mark;
}

void SourceEdit::ApplyPalette()
{
    FColours = ColoursFor(palette());
    if (FHighlighter)
        FHighlighter->SetFormats(FColours.Formats);
    CaretMoved();
    viewport()->update();
    FGutter->update();
}
