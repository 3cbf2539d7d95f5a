#include "editor/sourceedit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>

#include "editor/brackets.h"
#include "editor/csyntax.h"
#include "editor/documenttext.h"
#include "editor/highlighter.h"
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
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &SourceEdit::UpdateMarks);
    SetDecorated(true);
}

SourceEdit::~SourceEdit()
{
    // The base classes still destroy the document and the viewport, which may signal on the
    // way; the handlers must not run on a control that is no longer a SourceEdit.
    disconnect(this, nullptr, this, nullptr);
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

void SourceEdit::paintEvent(QPaintEvent* event)
{
    if (FHighlighter)
        FHighlighter->Colour(firstVisibleBlock(), LastVisibleBlock());
    QPlainTextEdit::paintEvent(event);
}

// Without wrapping, a gutter that grows moves the text but changes none of its lines; Qt would
// still lay out every line again, a pass that takes a good part of a second on 20 MB and that
// a plain edit would not make. The layout keeps its width then, a little wider than the view,
// which only the full-width mark of the caret's line uses.
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

// Shift+Enter would break the line inside one text line: the file gets a line end there, but the
// gutter, the caret panel and a compiler's line numbers would count one line less above it.
void SourceEdit::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || !(event->modifiers() & Qt::ShiftModifier))
        return QPlainTextEdit::keyPressEvent(event);
    QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier,
                    event->text(), event->isAutoRepeat(), ushort(event->count()));
    QPlainTextEdit::keyPressEvent(&plain);
    event->setAccepted(plain.isAccepted());
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

QTextBlock SourceEdit::LastVisibleBlock() const
{
    QTextBlock block = firstVisibleBlock();
    qreal bottom = blockBoundingGeometry(block).translated(contentOffset()).bottom();
    while (bottom < viewport()->height() && block.next().isValid()) {
        block = block.next();
        bottom += blockBoundingRect(block).height();
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
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (number == current)
            painter.fillRect(QRectF(0, top, FGutter->width(), height), FColours.CurrentLine);
        painter.setPen(number == current ? FColours.GutterCurrentText : FColours.GutterText);
        painter.drawText(QRectF(0, top, FGutter->width() - GutterPadding, fontMetrics().height()),
                         Qt::AlignRight, QString::number(number + 1));
        top += height;
        block = block.next();
        ++number;
    }
}

void SourceEdit::UpdateMarks()
{
    if (!Decorated())
        return;
    QTextEdit::ExtraSelection line;
    line.format.setBackground(FColours.CurrentLine);
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    QList<QTextEdit::ExtraSelection> marks{line};
    if (const auto pair = FindBracketPair(*FHighlighter, textCursor().position())) {
        const QColor colour = pair->Match < 0 ? FColours.UnmatchedBracket : FColours.Bracket;
        marks.append(BracketMark(pair->Position, colour));
        if (pair->Match >= 0)
            marks.append(BracketMark(pair->Match, colour));
    }
    setExtraSelections(marks);
    FGutter->update();
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
    UpdateMarks();
    viewport()->update();
    FGutter->update();
}
