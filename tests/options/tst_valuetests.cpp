#include "options/valuetests.h"

#include <QTest>

using RowTexts = std::array<QString, OptionSlots::kSlotCount>;
Q_DECLARE_METATYPE(RowTexts)
Q_DECLARE_METATYPE(CustomerSlots)

namespace {

const QLocale kDecimalPoint = QLocale::c();
const QLocale kDecimalComma(QLocale::German, QLocale::Germany);

} // namespace

class TestValueTests : public QObject {
    Q_OBJECT

private slots:
    void relayTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("commaLocale");
        QTest::addColumn<bool>("valid");

        QTest::newRow("25.5") << QStringLiteral("25.5") << false << true;
        QTest::newRow("25.6") << QStringLiteral("25.6") << false << false;
        QTest::newRow("0.9") << QStringLiteral("0.9") << false << false;
        QTest::newRow("1") << QStringLiteral("1") << false << true;
        QTest::newRow("1.0") << QStringLiteral("1.0") << false << true;
        QTest::newRow("empty") << QString() << false << false;
        QTest::newRow("letters") << QStringLiteral("abc") << false << false;
        QTest::newRow("comma locale 25,5") << QStringLiteral("25,5") << true << true;
        QTest::newRow("comma locale 5,0") << QStringLiteral("5,0") << true << true;
        QTest::newRow("comma locale 25,6") << QStringLiteral("25,6") << true << false;
        QTest::newRow("point in a comma locale") << QStringLiteral("2.5") << true << false;
    }
    void relayTime()
    {
        QFETCH(QString, text);
        QFETCH(bool, commaLocale);
        QTEST(ValueTests::relayTimeValid(text, commaLocale ? kDecimalComma : kDecimalPoint),
              "valid");
    }

    void relayTimeText()
    {
        QCOMPARE(ValueTests::relayTimeText(5.0, kDecimalComma), QStringLiteral("5,0"));
        QCOMPARE(ValueTests::relayTimeText(2, kDecimalPoint), QStringLiteral("2.0"));
        QCOMPARE(ValueTests::relayTimeText(0x19 / 10.0, kDecimalPoint), QStringLiteral("2.5"));
    }

    void facilityCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");

        QTest::newRow("0") << QStringLiteral("0") << true;
        QTest::newRow("65535") << QStringLiteral("65535") << true;
        QTest::newRow("65536") << QStringLiteral("65536") << false;
        QTest::newRow("-1") << QStringLiteral("-1") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("decimal") << QStringLiteral("1.5") << false;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999") << false;
    }
    void facilityCode()
    {
        QFETCH(QString, text);
        QTEST(ValueTests::facilityCodeValid(text), "valid");
    }

    void codeText_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");

        QTest::newRow("CF 7") << 0 << 7 << QStringLiteral("007");
        QTest::newRow("DF 7") << 1 << 7 << QStringLiteral("0007");
        QTest::newRow("DF 42") << 1 << 42 << QStringLiteral("0042");
        QTest::newRow("GF 12") << 2 << 12 << QStringLiteral("012");
        QTest::newRow("D 1234") << 4 << 1234 << QStringLiteral("1234");
        QTest::newRow("B 9") << 7 << 9 << QStringLiteral("0009");
        QTest::newRow("A 999") << 6 << 999 << QStringLiteral("999");
        QTest::newRow("empty slot") << 3 << 0 << QString();
    }
    void codeText()
    {
        QFETCH(int, row);
        QFETCH(int, code);
        QTEST(ValueTests::codeText(row, code), "text");
    }

    void checkCustomerCodes_data()
    {
        QTest::addColumn<RowTexts>("texts");
        QTest::addColumn<int>("failedRow");
        QTest::addColumn<QString>("message");
        QTest::addColumn<CustomerSlots>("slots"); // CF, C, DF, D, GF, G, A, B

        const CustomerSlots old = {11, 22, 33, 44, 55, 66, 77, 88};
        QTest::newRow("1000 in CF") << RowTexts{QStringLiteral("1000")} << 0
                                    << QStringLiteral("code out of range (1 - 999)") << old;
        QTest::newRow("0 in GF") << RowTexts{QStringLiteral("1"), QString(), QStringLiteral("0")}
                                 << 2 << QStringLiteral("code out of range (1 - 255)")
                                 << CustomerSlots{1, 22, 0, 44, 55, 66, 77, 88};
        QTest::newRow("empty cells store 0") << RowTexts{} << -1 << QString() << CustomerSlots{};
        QTest::newRow("9999 in B")
            << RowTexts{QString(), QString(), QString(), QString(),
                        QString(), QString(), QString(), QStringLiteral("9999")}
            << -1 << QString() << CustomerSlots{0, 0, 0, 0, 0, 0, 0, 9999};
        QTest::newRow("10000 in B")
            << RowTexts{QString(), QString(), QString(), QString(),
                        QString(), QString(), QString(), QStringLiteral("10000")}
            << 7 << QStringLiteral("code out of range (1 - 9999)")
            << CustomerSlots{0, 0, 0, 0, 0, 0, 0, 88};
        QTest::newRow("bad row 3 stops before a good row 5")
            << RowTexts{QStringLiteral("5"),   QStringLiteral("6"), QStringLiteral("7"),
                        QStringLiteral("12a"), QString(),           QStringLiteral("9")}
            << 3 << QStringLiteral("code out of range (1 - 999)")
            << CustomerSlots{5, 22, 6, 44, 7, 66, 77, 88};
        QTest::newRow("007 is 7") << RowTexts{QStringLiteral("007"), QStringLiteral("7")} << -1
                                  << QString() << CustomerSlots{7, 0, 7, 0, 0, 0, 0, 0};
        QTest::newRow("letters read as 0") << RowTexts{QStringLiteral("abc")} << 0
                                           << QStringLiteral("code out of range (1 - 999)") << old;
        QTest::newRow("negative") << RowTexts{QStringLiteral("-3")} << 0
                                  << QStringLiteral("code out of range (1 - 999)") << old;
        QTest::newRow("every row at its maximum")
            << RowTexts{QStringLiteral("999"), QStringLiteral("9999"), QStringLiteral("255"),
                        QStringLiteral("999"), QStringLiteral("9999"), QStringLiteral("255"),
                        QStringLiteral("999"), QStringLiteral("9999")}
            << -1 << QString() << CustomerSlots{999, 999, 9999, 9999, 255, 255, 999, 9999};
    }
    void checkCustomerCodes()
    {
        QFETCH(RowTexts, texts);
        QFETCH(int, failedRow);
        QFETCH(QString, message);

        CustomerSlots codes = {11, 22, 33, 44, 55, 66, 77, 88};
        const ValueTests::CodeCheck check = ValueTests::checkCustomerCodes(texts, codes);
        QCOMPARE(check.failedRow, failedRow);
        QCOMPARE(check.passed(), failedRow < 0);
        if (!check.passed())
            QCOMPARE(check.message(), message);
        QTEST(codes, "slots");
    }
};

QTEST_GUILESS_MAIN(TestValueTests)
#include "tst_valuetests.moc"
