// The coloured editor with its gutter against the same main window with both switched off,
// measured in one run: loading a 2 MB source (at most 1.2 times the plain load and under
// 0.5 s), the slowest keystroke of typing a, /*, */ and " in its middle, repaint included
// (within 5 ms), and opening a 20 MB source (Ctrl+End at once, and the longest pass of the
// event loop while the colouring follows the rest of the file). Prints times and ratios.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "app/main.h"
#include "editor/sourceedit.h"
#include "platform/textfile.h"
#include "support/scriptedprompts.h"

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
        Main.LoadDocument(path);
        QApplication::processEvents();
        Editor()->viewport()->repaint();
        loading.Shown = Milliseconds(timer);
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

struct Typing
{
    double Slowest[4] = {};
    double LongestPause = 0;
};

const char* const Keys[4] = {"a", "/*", "*/", "\""};

// Types each key sequence at the starts of 20 lines in the middle of the file, one after the
// other, with the event loop running between the keystrokes as it does for a user.
Typing TypeInTheMiddle(Window& window)
{
    SourceEdit* editor = window.Editor();
    Typing typing;
    const int middle = editor->blockCount() / 2;
    for (int line = middle; line < middle + 20; ++line) {
        QTextCursor caret(editor->document()->findBlockByNumber(line));
        caret.movePosition(QTextCursor::EndOfLine);
        editor->setTextCursor(caret);
        editor->centerCursor();
        window.Settle();
        for (int key = 0; key < 4; ++key)
            for (const char* c = Keys[key]; *c; ++c) {
                QElapsedTimer timer;
                timer.start();
                QTest::keyClick(editor, *c);
                editor->viewport()->repaint();
                typing.Slowest[key] = std::max(typing.Slowest[key], Milliseconds(timer));
                timer.restart();
                QApplication::processEvents();
                typing.LongestPause = std::max(typing.LongestPause, Milliseconds(timer));
            }
        while (editor->document()->isUndoAvailable())
            editor->undo();
    }
    window.Settle();
    return typing;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("two.c"));
    const QString large = dir.filePath(QStringLiteral("twenty.c"));
    const QString lines2000 = dir.filePath(QStringLiteral("lines2000.c"));
    WriteTextFile(lines2000, CSource(60'000), TextEncoding::Utf8);
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

    const Typing plainTyping = TypeInTheMiddle(plain);
    const Typing colouredTyping = TypeInTheMiddle(coloured);
    std::printf("typing in the middle of 2 MB, slowest keystroke with repaint (limit 5 ms):\n");
    for (int key = 0; key < 4; ++key)
        std::printf("  %-3s plain %5.2f ms, coloured %5.2f ms, ratio %.2f\n", Keys[key],
                    plainTyping.Slowest[key], colouredTyping.Slowest[key],
                    colouredTyping.Slowest[key] / plainTyping.Slowest[key]);
    std::printf("  longest event-loop pass between keystrokes: plain %.2f ms, coloured %.2f ms\n",
                plainTyping.LongestPause, colouredTyping.LongestPause);

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
