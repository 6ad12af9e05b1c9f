// The --readers file: RFC 4180 text, each value checked and refused with
// its file, line and column.
#include "flash/readerlist.h"

#include <QTest>

class TestReaderList : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        // "port name site gf relay" of each reader, or the refusal.
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain, CRLF, cells trimmed")
            << QByteArray("port,name,gf\r\nCOM1, a ,12\r\n10.0.0.5:10001,b,\r\n")
            << "COM1 a  12 -|10.0.0.5:10001 b  - -";
        QTest::newRow("byte-order mark, quotes, a comma and a line break in a name") << QByteArray(
            "\xEF\xBB\xBFPort,Name,Site,Relay\n\"COM2\",\"Door \"\"A\"\", east\",\"Hall\n"
            "2\",2.5\n") << "COM2 Door \"A\", east Hall\n2 - 2.5";
        QTest::newRow("empty lines are no readers")
            << QByteArray("port\n\nCOM3\n\n") << "COM3   - -";
        QTest::newRow("bad code: file, line, column")
            << QByteArray("port,gf\nCOM1,1\nCOM2,256\n")
            << "r.csv:3: column gf: 256: code out of range (0 - 255)";
        QTest::newRow("the line of a row after a quoted line break")
            << QByteArray("name,port,relay\n\"two\nlines\",COM1,2\nx,COM2,30\n")
            << "r.csv:4: column relay: 30: relay time out of range (1.0 - 25.5 seconds)";
        QTest::newRow("unknown column")
            << QByteArray("port,colour\nCOM1,red\n")
            << "r.csv:1: unknown column \"colour\" (columns: port name site cf df gf c d g a b "
               "relay facility label)";
        QTest::newRow("no port column") << QByteArray("name\nx\n") << "r.csv:1: no port column";
        QTest::newRow("empty port")
            << QByteArray("port,name\n,x\n") << "r.csv:2: column port: empty";
        QTest::newRow("a field too many")
            << QByteArray("port\nCOM1,x\n") << "r.csv:2: 2 fields; the header has 1";
        QTest::newRow("unclosed quote")
            << QByteArray("port\n\"COM1\n") << "r.csv:2: a quoted field is not closed";
        QTest::newRow("not UTF-8") << QByteArray("port\nCOM\xFF\n") << "r.csv: not UTF-8 text";
        QTest::newRow("header only")
            << QByteArray("port\n") << "r.csv: no reader (only a header row)";
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        QList<ReaderEntry> entries;
        const std::optional<QString> refused
            = ReaderList::parse(text, QStringLiteral("r.csv"), entries);
        QStringList got;
        for (const ReaderEntry &entry : entries) {
            const auto &gf = entry.options.changes.codes[OptionSlots::GF];
            const auto &relay = entry.options.changes.relayTimeSeconds;
            got << QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(entry.port, entry.name, entry.site,
                            gf ? QString::number(*gf) : QStringLiteral("-"),
                            relay ? QString::number(*relay) : QStringLiteral("-"));
        }
        QCOMPARE(refused.value_or(got.join(QLatin1Char('|'))), expected);
    }
};

QTEST_GUILESS_MAIN(TestReaderList)
#include "tst_readerlist.moc"
