// The terminal's text: how received bytes become characters, and the 10000-character
// limit that keeps whole lines.
#include "QtPrinters.h"
#include "link/TerminalText.h"

#include <gtest/gtest.h>

namespace {

QString received(const QList<QByteArray> &reads)
{
    TerminalText text;
    for (const QByteArray &bytes : reads)
        text.receive(bytes);
    return text.text();
}

struct Translation
{
    const char *name;
    QList<QByteArray> reads;
    QString text;
    QString shown;
};

TEST(TerminalText, TranslatesEachByte)
{
    const QString raquo(QChar(0xBB));
    const Translation cases[] = {
        {"plain", {"R1 ok"}, "R1 ok", "R1 ok"},
        {"CR becomes a line break", {"ab\rcd\r"}, "ab\r\ncd\r\n", "ab\ncd\n"},
        {"prompt byte", {"\r\n\xAF"}, "\r\n\n" + raquo, "\n" + raquo},
        {"backspace", {"abc\b\b", "d"}, "ad", "ad"},
        {"backspace on an empty text", {"\b\b", "x"}, "x", "x"},
        {"backspace after a line break takes its LF", {"a\r\b"}, "a\r", "a"},
        {"other control bytes kept, not drawn", {"a\n\x07\tb"}, "a\n\x07\tb", "a\tb"},
        {"NUL", {QByteArray("a\0b", 3)}, QString("a") + QChar(0) + "b", "ab"},
        {"8-bit bytes are Latin-1",
         {"\xE9\xB0\xFF"},
         QString::fromLatin1("\xE9\xB0\xFF"),
         QString::fromLatin1("\xE9\xB0\xFF")},
    };
    for (const Translation &c : cases) {
        TerminalText text;
        for (const QByteArray &bytes : c.reads)
            text.receive(bytes);
        EXPECT_EQ(text.text(), c.text) << c.name;
        EXPECT_EQ(text.displayText(), c.shown) << c.name;
    }
}

struct Cut
{
    const char *name;
    QList<QByteArray> reads;
    QString kept;
};

TEST(TerminalText, KeepsTheLast10000CharactersFromALineStart)
{
    const QByteArray x10001(10001, 'x');
    const Cut cases[] = {
        {"10001 characters without CR", {x10001}, QString(10000, 'x')},
        {"the same over two reads", {x10001.left(6000), x10001.mid(6000)}, QString(10000, 'x')},
        {"exactly 10000 untouched", {QByteArray(9998, 'x') + "\r"}, QString(9998, 'x') + "\r\n"},
        // "first" falls off the front; the rest of its line goes with it.
        {"cut inside a line",
         {"first\rsecond\r" + QByteArray(9990, 'y')},
         "second\r\n" + QString(9990, 'y')},
        // The cut leaves the LF of "a" CR LF: that is no line break, the next one is.
        {"cut between CR and LF", {"a\rcd\r", QByteArray(9995, 'y')}, QString(9995, 'y')},
    };
    for (const Cut &c : cases) {
        const QString kept = received(c.reads);
        EXPECT_EQ(kept.size(), c.kept.size()) << c.name;
        EXPECT_EQ(kept, c.kept) << c.name;
    }
}

} // namespace
