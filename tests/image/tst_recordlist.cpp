#include "image/recordlist.h"

#include <QTest>

using Lines = QList<QByteArray>;

namespace {

Lines linesOf(const RecordList &list)
{
    Lines lines;
    for (qsizetype i = 0; i < list.size(); ++i)
        lines << list.at(i).toByteArray();
    return lines;
}

} // namespace

class TestRecordList : public QObject {
    Q_OBJECT

private slots:
    void splitsLikeATextFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Lines>("lines");

        QTest::newRow("empty text has no line") << QByteArray() << Lines{};
        QTest::newRow("one line without terminator") << QByteArray("a") << Lines{"a"};
        QTest::newRow("final CR LF opens no line") << QByteArray("a\r\nb\r\n") << Lines{"a", "b"};
        QTest::newRow("lone LF") << QByteArray("a\nb\n") << Lines{"a", "b"};
        QTest::newRow("lone CR") << QByteArray("a\rb") << Lines{"a", "b"};
        QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << Lines{"a", "", "b"};
        QTest::newRow("CR CR LF is two breaks") << QByteArray("a\r\r\nb") << Lines{"a", "", "b"};
        QTest::newRow("empty lines kept")
            << QByteArray("\r\n\r\nx\r\n\r\n") << Lines{"", "", "x", ""};
        QTest::newRow("lone terminator is one empty line") << QByteArray("\r\n") << Lines{""};
        QTest::newRow("NUL ends the text") << QByteArray("a\r\nb\0c\r\nd", 10) << Lines{"a", "b"};
        QTest::newRow("NUL first") << QByteArray("\0a\r\n", 4) << Lines{};
        QTest::newRow("byte-order mark is no part of the first line")
            << QByteArray("\xEF\xBB\xBF:00\r\nb") << Lines{":00", "b"};
        QTest::newRow("only a byte-order mark") << QByteArray("\xEF\xBB\xBF") << Lines{};
        QTest::newRow("every byte-order mark at the start goes")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF:00\r\nb") << Lines{":00", "b"};
        QTest::newRow("byte-order mark after the start stays")
            << QByteArray("a\r\n\xEF\xBB\xBF:00") << Lines{"a", "\xEF\xBB\xBF:00"};
        QTest::newRow("8-bit bytes stay")
            << QByteArray("; \xe9t\xe9\r\n:00") << Lines{"; \xe9t\xe9", ":00"};
    }
    void splitsLikeATextFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(Lines, lines);
        QCOMPARE(linesOf(RecordList::fromText(text)), lines);
        // Written out and read again, they are the same lines.
        QCOMPARE(linesOf(RecordList::fromText(RecordList::fromText(text).toText())), lines);
    }

    // The count the loader checks before splitting is the count the split
    // makes.
    void countMatchesTheSplit_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no terminator") << QByteArray("a");
        QTest::newRow("LF") << QByteArray("a\nb\n");
        QTest::newRow("lone CRs") << QByteArray("\r\r\ra");
        QTest::newRow("CR LF") << QByteArray("\r\n\r\nx\r\n");
        QTest::newRow("LF CR") << QByteArray("a\n\rb");
        QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb");
        QTest::newRow("starts with LF") << QByteArray("\nx");
        QTest::newRow("NUL ends it") << QByteArray("a\nb\0c\nd", 7);
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF\n:00");
        QTest::newRow("only LFs") << QByteArray(1000, '\n');
    }
    void countMatchesTheSplit()
    {
        QFETCH(QByteArray, text);
        const bool mark = text.startsWith("\xEF\xBB\xBF");
        QCOMPARE(
            RecordList::countLines(mark ? QByteArrayView(text).sliced(3) : QByteArrayView(text)),
            RecordList::fromText(text).size());
    }

    void toTextEndsEveryLineWithCrLf()
    {
        const RecordList list = RecordList::fromText("a\nb\rc");
        QCOMPARE(list.toText(), QByteArray("a\r\nb\r\nc\r\n"));
        QCOMPARE(RecordList().toText(), QByteArray());
    }

    void replaceKeepsOtherLines_data()
    {
        QTest::addColumn<qsizetype>("index");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Lines>("expected");

        QTest::newRow("same length") << qsizetype(1) << QByteArray("XY") << Lines{"aa", "XY", "cc"};
        QTest::newRow("longer") << qsizetype(0) << QByteArray("longer")
                                << Lines{"longer", "bb", "cc"};
        QTest::newRow("shorter") << qsizetype(2) << QByteArray("c") << Lines{"aa", "bb", "c"};
        QTest::newRow("emptied") << qsizetype(1) << QByteArray() << Lines{"aa", "", "cc"};
    }
    void replaceKeepsOtherLines()
    {
        QFETCH(qsizetype, index);
        QFETCH(QByteArray, line);
        QFETCH(Lines, expected);

        RecordList list = RecordList::fromText("aa\r\nbb\r\ncc\r\n");
        list.replace(index, line);
        QCOMPARE(linesOf(list), expected);
    }

    void copyIsUnaffectedByWritesToTheOriginal()
    {
        RecordList original = RecordList::fromText("aa\r\nbb\r\n");
        const RecordList copy = original;
        original.replace(0, "XX");
        original.replace(1, "longer");
        original.append("new");
        QCOMPARE(linesOf(copy), (Lines{"aa", "bb"}));
        QCOMPARE(linesOf(original), (Lines{"XX", "longer", "new"}));
    }

    void lineCanBeReplacedByAnotherOfTheSameList()
    {
        // The source is a view into the list's own buffer, which may move
        // while the list grows.
        RecordList list = RecordList::fromText("first\r\nsecond line\r\n");
        list.replace(0, list.at(1));
        list.append(list.at(0));
        QCOMPARE(linesOf(list), (Lines{"second line", "second line", "second line"}));
    }

    void clearEmptiesTheList()
    {
        RecordList list = RecordList::fromText("h\r\na\r\nb");
        list.clear();
        QVERIFY(list.isEmpty());
        QCOMPARE(list.toText(), QByteArray());
    }

    void equalityComparesLinesNotLayout()
    {
        RecordList patched = RecordList::fromText("aa\r\nbb");
        patched.replace(0, "zz");
        patched.replace(0, "aa");
        QVERIFY(patched == RecordList::fromText("aa\nbb"));
        QVERIFY(!(patched == RecordList::fromText("aa\nbb\n\n")));
        QVERIFY(!(patched == RecordList::fromText("aa\nbc")));
    }
};

QTEST_GUILESS_MAIN(TestRecordList)
#include "tst_recordlist.moc"
