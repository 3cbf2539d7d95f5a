// The coloured editor with its gutter against the same main window with both switched off,
// measured in one run: loading a 2 MB source (at most 1.2 times the plain load and under
// 0.5 s), the slowest keystroke of typing a, /*, */, ", (, { and }, repaint included (within
// 5 ms), in the middle of that source, beside the { of a 40 000-line table and at column 60 of
// a 5 000-character line of hex data, the slowest caret move beside that {, and opening a 20 MB
// source (Ctrl+End at once, and the longest pass of the event loop while the colouring follows
// the rest of the file). Prints times and ratios.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "app/main.h"
#include "editor/highlighter.h"
#include "editor/sourceedit.h"
#include "platform/textfile.h"
#include "support/scriptedprompts.h"
#include "support/testenvironment.h"

namespace {

QString CSource(qsizetype bytes)
{
    const QString chunk = QStringLiteral(
        "/* Blinks the LEDs on port B in a pattern read from a table. */\n"
        "#define STEPS 8\n"
        "static const uint8_t pattern_%1[STEPS] = {0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F};\n"
        "\n"
        "// Waits about ms milliseconds at 4 MHz.\n"
        "static void wait_%1(uint16_t ms)\n"
        "{\n"
        "    while (ms--) {\n"
        "        for (volatile uint16_t i = 0; i < 400; ++i)\n"
        "            ;\n"
        "    }\n"
        "}\n"
        "\n"
        "int step_%1(void)\n"
        "{\n"
        "    const char* name = \"step \\\"%1\\\"\\n\";\n"
        "    for (uint8_t i = 0; i < STEPS; ++i) {\n"
        "        PORTB = pattern_%1[i];\n"
        "        wait_%1(250);\n"
        "    }\n"
        "    return name[0] == 's' ? 0 : -1;\n"
        "}\n\n");
    QString text = QStringLiteral("//#TARGET AT90S8515\n#include <avr/io.h>\n\n");
    text.reserve(bytes + chunk.size() * 2);
    for (int i = 0; text.size() < bytes; ++i)
        text += chunk.arg(i);
    return text;
}

// A table of 40 000 lines of hex bytes after a little code, as generated data looks.
QString TableSource()
{
    QString text = QStringLiteral("//#TARGET AT90S8515\n#include <avr/io.h>\n\n"
                                  "static const uint8_t table[] = {\n");
    const QString row = QStringLiteral("    0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, "
                                       "0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF,\n");
    text += row.repeated(40000);
    return text + QStringLiteral("};\n\nint main(void)\n{\n    return table[0];\n}\n");
}

// Twenty lines of hex data, each of as many numbers as given, six characters each, in as many
// arrays between code, so that one such line is in view at a time.
QString HexLinesSource(int numbers)
{
    const QString code = CSource(1500);
    QString text;
    for (int line = 0; line < 20; ++line)
        text += code + QStringLiteral("static const uint8_t data_%1[] = {\n").arg(line) +
                QStringLiteral("0x5A, ").repeated(numbers - 1) + QStringLiteral("0x00,\n};\n");
    return text + code;
}

// The time the program's own thread has run: on a machine shared with other work, a keystroke's
// wall time says more of the other work than of the keystroke.
class ThreadClock
{
public:
    ThreadClock() { restart(); }
    void restart() { FStart = Now(); }
    double Milliseconds() const { return (Now() - FStart) / 1e6; }

private:
    static double Now()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
    }

    double FStart = 0;
};

double Milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

// A shown main window with colours and gutter on or off in both text controls.
struct Window
{
    explicit Window(bool decorated)
    {
        for (QPlainTextEdit* edit : {Main.Editor(), Main.Listing()})
            qobject_cast<SourceEdit*>(edit)->SetDecorated(decorated);
        Main.show();
        Main.Editor()->setFocus();
        QApplication::processEvents();
    }

    SourceEdit* Editor() { return qobject_cast<SourceEdit*>(Main.Editor()); }

    // Runs the event loop until the colouring knows the whole file; returns the longest pass.
    double Settle()
    {
        double longest = 0;
        do {
            QElapsedTimer pass;
            pass.start();
            QApplication::processEvents();
            longest = std::max(longest, Milliseconds(pass));
        } while (!Editor()->ColouringSettled());
        return longest;
    }

    // Opens the file in place of a new document, as after start-up, or of the file before: until
    // the first screen is painted, then while the colouring follows the rest of the file.
    struct Loading
    {
        double Shown = 0;
        // Of the time until shown, what the program's own thread ran.
        double ShownWork = 0;
        double JumpedToTheEnd = 0;
        double Followed = 0;
        double LongestPass = 0;
    };

    Loading Load(const QString& path, const QString& before = {}, bool jumpToTheEnd = false)
    {
        Loading loading;
        if (Main.Modified())
            Prompts.Answers = {QMessageBox::No};
        Main.NewDocument();
        if (!before.isEmpty())
            Main.LoadDocument(before);
        Settle();
        QElapsedTimer timer;
        timer.start();
        const ThreadClock work;
        Main.LoadDocument(path);
        QApplication::processEvents();
        Editor()->viewport()->repaint();
        loading.Shown = Milliseconds(timer);
        loading.ShownWork = work.Milliseconds();
        if (jumpToTheEnd) {
            QElapsedTimer jump;
            jump.start();
            QTest::keyClick(Editor(), Qt::Key_End, Qt::ControlModifier);
            Editor()->viewport()->repaint();
            loading.JumpedToTheEnd = Milliseconds(jump);
        }
        loading.LongestPass = Settle();
        loading.Followed = Milliseconds(timer) - loading.Shown;
        return loading;
    }

    ScriptedPrompts Prompts;
    TMainFM Main{Prompts, {}};
};

constexpr int KeyCount = 7;
const char* const Keys[KeyCount] = {"a", "/*", "*/", "\"", "(", "{", "}"};

struct Typing
{
    double Slowest[KeyCount] = {};
    double SlowestMove = 0;
    double LongestPause = 0;
};

// Where the caret goes for a round of typing: the document and the round, 0 to 19.
using Place = std::function<int(const QTextDocument&, int)>;

// Times one keystroke, repaint included, and then the event loop's pass after it.
void TimeKey(SourceEdit* editor, Qt::Key key, char c, double& slowest, Typing& typing)
{
    ThreadClock timer;
    if (c)
        QTest::keyClick(editor, c);
    else
        QTest::keyClick(editor, key);
    editor->viewport()->repaint();
    slowest = std::max(slowest, timer.Milliseconds());
    timer.restart();
    QApplication::processEvents();
    typing.LongestPause = std::max(typing.LongestPause, timer.Milliseconds());
}

// Types each key sequence at the place of 20 rounds, every sequence on its own from the same
// caret, with the event loop running between the keystrokes as it does for a user; then moves
// the caret off the place and back.
Typing TypeAt(Window& window, const Place& place)
{
    SourceEdit* editor = window.Editor();
    Typing typing;
    for (int round = 0; round < 20; ++round) {
        const int position = place(*editor->document(), round);
        for (int key = 0; key < KeyCount; ++key) {
            QTextCursor caret(editor->document());
            caret.setPosition(position);
            editor->setTextCursor(caret);
            editor->centerCursor();
            window.Settle();
            for (const char* c = Keys[key]; *c; ++c)
                TimeKey(editor, Qt::Key_unknown, *c, typing.Slowest[key], typing);
            while (editor->document()->isUndoAvailable())
                editor->undo();
        }
        for (const Qt::Key move : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Right, Qt::Key_Left})
            TimeKey(editor, move, 0, typing.SlowestMove, typing);
    }
    window.Settle();
    return typing;
}

void PrintTyping(const char* where, const Typing& plain, const Typing& coloured)
{
    std::printf("typing %s, slowest keystroke with repaint, in the thread's own time "
                "(limit 5 ms):\n",
                where);
    for (int key = 0; key < KeyCount; ++key)
        std::printf("  %-3s plain %5.2f ms, coloured %5.2f ms, ratio %.2f\n", Keys[key],
                    plain.Slowest[key], coloured.Slowest[key],
                    coloured.Slowest[key] / plain.Slowest[key]);
    std::printf("  caret move plain %5.2f ms, coloured %5.2f ms, ratio %.2f\n", plain.SlowestMove,
                coloured.SlowestMove, coloured.SlowestMove / plain.SlowestMove);
    std::printf("  longest event-loop pass between keystrokes: plain %.2f ms, coloured %.2f ms\n",
                plain.LongestPause, coloured.LongestPause);
}

// Loads the file into both windows, compares the loads and types at the place in each. A load of
// a few milliseconds is compared in the thread's own time and over more rounds: in wall time a
// millisecond of other work on the machine would decide the ratio.
void MeasureTyping(Window& plain, Window& coloured, const QString& path, const char* where,
                   const Place& place)
{
    std::vector<double> plainLoads, colouredLoads;
    for (int round = 0; round < 11; ++round) {
        plainLoads.push_back(plain.Load(path).ShownWork);
        colouredLoads.push_back(coloured.Load(path).ShownWork);
    }
    std::printf("load of the file for typing %s (median of 11, in the thread's own time): plain "
                "%.1f ms, coloured %.1f ms, ratio %.2f (limit 1.20)\n",
                where, Median(plainLoads), Median(colouredLoads),
                Median(colouredLoads) / Median(plainLoads));
    const Typing plainTyping = TypeAt(plain, place);
    PrintTyping(where, plainTyping, TypeAt(coloured, place));
}

// At the ends of 20 lines in the middle of the document.
int InTheMiddle(const QTextDocument& document, int round)
{
    const QTextBlock line = document.findBlockByNumber(document.blockCount() / 2 + round);
    return line.position() + line.length() - 1;
}

// Right after the table's opening brace.
int BesideTheTablesBrace(const QTextDocument& document, int)
{
    return int(document.toRawText().indexOf(u'{')) + 1;
}

// At column 60 of each hex line in turn.
int InAHexLine(const QTextDocument& document, int round)
{
    const QString array = QStringLiteral("data_%1[]").arg(round);
    return document.find(array).block().next().position() + 59;
}

} // namespace

int main(int argc, char* argv[])
{
    const auto userFolders = IsolateUserFolders();
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("two.c"));
    const QString large = dir.filePath(QStringLiteral("twenty.c"));
    const QString lines2000 = dir.filePath(QStringLiteral("lines2000.c"));
    const QString table = dir.filePath(QStringLiteral("table.c"));
    const QString hexLines = dir.filePath(QStringLiteral("hex.c"));
    const QString denseLines = dir.filePath(QStringLiteral("dense.c"));
    WriteTextFile(lines2000, CSource(60'000), TextEncoding::Utf8);
    WriteTextFile(table, TableSource(), TextEncoding::Utf8);
    WriteTextFile(hexLines, HexLinesSource(834), TextEncoding::Utf8);
    WriteTextFile(denseLines, HexLinesSource(Highlighter::MostColouredTokens), TextEncoding::Utf8);
    WriteTextFile(small, CSource(2'000'000), TextEncoding::Utf8);
    WriteTextFile(large, CSource(20'000'000), TextEncoding::Utf8);

    Window plain(false), coloured(true);
    for (const QString& before : {QString(), lines2000}) {
        std::vector<double> plainLoads, colouredLoads;
        for (int round = 0; round < 7; ++round) {
            plainLoads.push_back(plain.Load(small, before).Shown);
            colouredLoads.push_back(coloured.Load(small, before).Shown);
        }
        const double plainLoad = Median(plainLoads), colouredLoad = Median(colouredLoads);
        std::printf("2 MB load after %s (median of 7): plain %.0f ms, coloured %.0f ms, ratio %.2f "
                    "(limit 1.20); slowest coloured %.0f ms (limit 500)\n",
                    before.isEmpty() ? "a new document" : "a 2000-line file", plainLoad,
                    colouredLoad, colouredLoad / plainLoad, std::ranges::max(colouredLoads));
    }

    MeasureTyping(plain, coloured, small, "in the middle of 2 MB", InTheMiddle);
    MeasureTyping(plain, coloured, table, "beside the { of a 40 000-line table",
                  BesideTheTablesBrace);
    MeasureTyping(plain, coloured, hexLines, "at column 60 of a 5 000-character hex line",
                  InAHexLine);
    MeasureTyping(plain, coloured, denseLines,
                  "at column 60 of a hex line of as many tokens as are coloured", InAHexLine);

    std::vector<double> plainShown, colouredShown, plainJump, colouredJump, followed;
    double longestPass = 0;
    for (int round = 0; round < 3; ++round) {
        const Window::Loading plainLarge = plain.Load(large, {}, true);
        const Window::Loading colouredLarge = coloured.Load(large, {}, true);
        plainShown.push_back(plainLarge.Shown);
        colouredShown.push_back(colouredLarge.Shown);
        plainJump.push_back(plainLarge.JumpedToTheEnd);
        colouredJump.push_back(colouredLarge.JumpedToTheEnd);
        followed.push_back(colouredLarge.Followed);
        longestPass = std::max(longestPass, colouredLarge.LongestPass);
    }
    std::printf("20 MB load (median of 3): plain %.0f ms, coloured %.0f ms, ratio %.2f\n",
                Median(plainShown), Median(colouredShown),
                Median(colouredShown) / Median(plainShown));
    std::printf("  Ctrl+End at once with repaint: plain %.1f ms, coloured %.1f ms, ratio %.2f\n",
                Median(plainJump), Median(colouredJump), Median(colouredJump) / Median(plainJump));
    std::printf(
        "  colouring followed the rest in %.0f ms, in event-loop passes of at most %.1f ms\n",
        Median(followed), longestPass);
    return 0;
}
