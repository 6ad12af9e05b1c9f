#include "hexlines.h"
#include "options/optionword.h"

#include <QTest>

using Lines = QList<QByteArray>;

namespace {

RecordList listOf(const Lines &lines)
{
    RecordList list;
    for (const QByteArray &line : lines)
        list.append(line);
    return list;
}

// Facility code slot 0xA1 holding 0x0A, with word 0xA0 before it.
const QByteArray kSlotA1 = HexLines::words(0xA0, {0x2800, 0x340A});

} // namespace

class TestOptionWord : public QObject {
    Q_OBJECT

private slots:
    void find_data()
    {
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<int>("word");
        QTest::addColumn<qsizetype>("line"); // -1: not found
        QTest::addColumn<int>("k");

        QTest::newRow("second word of a record") << Lines{kSlotA1} << 0xA1 << qsizetype(0) << 1;
        QTest::newRow("word holding another instruction")
            << Lines{kSlotA1} << 0xA0 << qsizetype(-1) << 0;
        QTest::newRow("word beyond the record") << Lines{kSlotA1} << 0xA2 << qsizetype(-1) << 0;
        QTest::newRow("word before the record") << Lines{kSlotA1} << 0x9F << qsizetype(-1) << 0;
        QTest::newRow("other lines skipped")
            << Lines{"", "; comment", " " + kSlotA1, kSlotA1} << 0xA1 << qsizetype(3) << 1;
        QTest::newRow("later line with the option word is taken")
            << Lines{HexLines::words(0xA0, {0x3400, 0x2864}), kSlotA1} << 0xA1 << qsizetype(1) << 1;
        QTest::newRow("first option word wins")
            << Lines{HexLines::words(0xA1, {0x3401}), kSlotA1} << 0xA1 << qsizetype(0) << 0;
        QTest::newRow("type not looked at")
            << Lines{HexLines::record(0x142, 0x05, QByteArray::fromHex("0A34"))} << 0xA1
            << qsizetype(0) << 0;
        QTest::newRow("checksum not looked at")
            << Lines{":020142000A3400"} << 0xA1 << qsizetype(0) << 0;
        QTest::newRow("odd byte address rounds down")
            << Lines{HexLines::record(0x143, 0, QByteArray::fromHex("0A34"))} << 0xA1
            << qsizetype(0) << 0;
        QTest::newRow("odd last byte is no word")
            << Lines{HexLines::record(0x142, 0, QByteArray::fromHex("0A3405"))} << 0xA2
            << qsizetype(-1) << 0;
        QTest::newRow("line of the wrong length")
            << Lines{kSlotA1 + "0"} << 0xA1 << qsizetype(-1) << 0;
        QTest::newRow("bad count reads 0, and N = 0 is skipped")
            << Lines{":ZZ0142000A"} << 0xA1 << qsizetype(-1) << 0;
        QTest::newRow("bad address") << Lines{":02014Z000A347D"} << 0xA1 << qsizetype(-1) << 0;
        QTest::newRow("bad high byte reads 0")
            << Lines{":020142000A3Z7D"} << 0xA1 << qsizetype(-1) << 0;
        QTest::newRow("lower-case high byte")
            << Lines{":020142000a347d"} << 0xA1 << qsizetype(0) << 0;
    }
    void find()
    {
        QFETCH(Lines, lines);
        QFETCH(int, word);
        QFETCH(qsizetype, line);
        QFETCH(int, k);

        const std::optional<OptionWord::Location> found = OptionWord::find(listOf(lines), word);
        QCOMPARE(found.has_value(), line >= 0);
        if (found) {
            QCOMPARE(found->line, line);
            QCOMPARE(found->word, k);
        }
    }

    void readGivesTheLowByte()
    {
        const RecordList list = listOf({kSlotA1, ":020142000a347d"});
        QCOMPARE(OptionWord::read(list, 0xA1), std::optional<std::uint8_t>(0x0A));
        QCOMPARE(OptionWord::read(list, 0xA0), std::optional<std::uint8_t>());
        // A bad low byte reads as 0.
        QCOMPARE(OptionWord::read(listOf({":020142000Z347D"}), 0xA1),
                 std::optional<std::uint8_t>(0));
    }

    void writePatchesOnlyThePairAndTheChecksum_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("upper case") << QByteArray(":04014000002800340A") << 0xA1 << 0xC8
                                    << QByteArray(":040140000028C834??");
        QTest::newRow("lower-case digits elsewhere stay")
            << QByteArray(":04014000ab28cd34ff") << 0xA1 << 0x0F
            << QByteArray(":04014000ab280F34??");
        QTest::newRow("first word") << QByteArray(":04014000FF34003400") << 0xA0 << 0x00
                                    << QByteArray(":0401400000340034??");
    }
    void writePatchesOnlyThePairAndTheChecksum()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, word);
        QFETCH(int, value);
        QFETCH(QByteArray, after);

        RecordList list = listOf({"; keep", before, ":00000001FF"});
        QVERIFY(OptionWord::write(list, word, std::uint8_t(value)));
        const QByteArray patched = list.at(1).toByteArray();

        QCOMPARE(patched.size(), before.size());
        QVERIFY2(HexLines::sumsToZero(patched), patched.constData());
        // Everything but the pair and the checksum as before.
        const QByteArray expectedStart = after.left(after.indexOf('?'));
        QCOMPARE(patched.left(expectedStart.size()), expectedStart);
        const QByteArray checksum = patched.right(2);
        QCOMPARE(checksum, checksum.toUpper());
        QCOMPARE(list.at(0), QByteArrayView("; keep"));
        QCOMPARE(list.at(2), QByteArrayView(":00000001FF"));
    }

    void writeWithoutSlotChangesNothing()
    {
        RecordList list = listOf({HexLines::words(0xA0, {0x2800, 0x2864}), ":00000001FF"});
        const RecordList before = list;
        QVERIFY(!OptionWord::write(list, 0xA1, 0x55));
        QVERIFY(list == before);
    }

    void writeSkipsTheOtherInstructionAndPatchesTheLaterLine()
    {
        const QByteArray other = HexLines::words(0xA0, {0x3400, 0x2864});
        RecordList list = listOf({other, kSlotA1});
        QVERIFY(OptionWord::write(list, 0xA1, 0x77));
        QCOMPARE(list.at(0), QByteArrayView(other));
        QCOMPARE(list.at(1), QByteArrayView(HexLines::words(0xA0, {0x2800, 0x3477})));
    }
};

QTEST_GUILESS_MAIN(TestOptionWord)
#include "tst_optionword.moc"
