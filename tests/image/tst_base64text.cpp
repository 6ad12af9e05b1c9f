#include "image/base64text.h"

#include <QTest>

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestBase64Text : public QObject {
    Q_OBJECT

private slots:
    // RFC 4648, section 10.
    void rfc4648_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("encoded");

        QTest::newRow("empty") << QByteArray("") << QByteArray("");
        QTest::newRow("f") << QByteArray("f") << QByteArray("Zg==");
        QTest::newRow("fo") << QByteArray("fo") << QByteArray("Zm8=");
        QTest::newRow("foo") << QByteArray("foo") << QByteArray("Zm9v");
        QTest::newRow("foob") << QByteArray("foob") << QByteArray("Zm9vYg==");
        QTest::newRow("fooba") << QByteArray("fooba") << QByteArray("Zm9vYmE=");
        QTest::newRow("foobar") << QByteArray("foobar") << QByteArray("Zm9vYmFy");
    }
    void rfc4648()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, encoded);
        QCOMPARE(Base64Text::encode(plain), encoded);
        QCOMPARE(Base64Text::decode(encoded), std::optional<QByteArray>(plain));
    }

    void linesOf76_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QList<int>>("lineLengths");
        QTest::addColumn<bool>("endsWithBreak");

        QTest::newRow("32 bytes: one line of 44") << 32 << QList<int>{44} << false;
        QTest::newRow("57 bytes fill one line") << 57 << QList<int>{76} << true;
        QTest::newRow("58 bytes spill over") << 58 << QList<int>{76, 4} << false;
        QTest::newRow("912 bytes: 16 full lines") << 912 << QList<int>(16, 76) << true;
    }
    void linesOf76()
    {
        QFETCH(int, bytes);
        QFETCH(QList<int>, lineLengths);
        QFETCH(bool, endsWithBreak);

        const QByteArray text = Base64Text::encode(QByteArray(bytes, '\x5A'));
        QList<QByteArray> lines = text.split('\n');
        if (endsWithBreak) {
            QCOMPARE(lines.takeLast(), QByteArray());
        }
        QList<int> lengths;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QByteArray line = lines[i];
            const bool lastLine = i == lines.size() - 1;
            QCOMPARE(line.endsWith('\r'), !lastLine || endsWithBreak);
            if (line.endsWith('\r'))
                line.chop(1);
            lengths << int(line.size());
        }
        QCOMPARE(lengths, lineLengths);
        QCOMPARE(text.endsWith("\r\n"), endsWithBreak);
    }

    void decodingSkipsEverythingOutsideTheAlphabet_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<std::optional<QByteArray>>("decoded");

        const std::optional<QByteArray> foobar = QByteArray("foobar");
        QTest::newRow("line breaks") << QByteArray("Zm9v\r\nYmFy\r\n") << foobar;
        QTest::newRow("blanks and tabs inside") << QByteArray(" Zm 9v\tYm\vFy ") << foobar;
        QTest::newRow("punctuation and 8-bit") << QByteArray("Zm9v*Ym-Fy\xff.") << foobar;
        QTest::newRow("nothing at all")
            << QByteArray(" \r\n") << std::optional<QByteArray>(QByteArray());
        QTest::newRow("incomplete group") << QByteArray("Zm9vYmF") << std::optional<QByteArray>();
        QTest::newRow("padding mid-text") << QByteArray("Zg==Zm9v") << std::optional<QByteArray>();
    }
    void decodingSkipsEverythingOutsideTheAlphabet()
    {
        QFETCH(QByteArray, text);
        QTEST(Base64Text::decode(text), "decoded");
    }
};

QTEST_GUILESS_MAIN(TestBase64Text)
#include "tst_base64text.moc"
