#include "download/linksettings.h"
#include "download/serialports.h"
#include "fakelink.h"

#include <QTemporaryDir>
#include <QTest>

using Layer = LinkSettings::Layer;
Q_DECLARE_METATYPE(LinkSettings::Layer)

class TestLinkSettings : public QObject {
    Q_OBJECT

private slots:
    void portText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Layer>("layer");
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("fullName");

        const QString tcpDefault = QStringLiteral("10001");
        QTest::newRow("COM3") << QStringLiteral("COM3") << Layer::Serial << 3 << QString()
                              << tcpDefault << QStringLiteral("COM3");
        QTest::newRow("com3") << QStringLiteral("com3") << Layer::Serial << 3 << QString()
                              << tcpDefault << QStringLiteral("COM3");
        QTest::newRow("COM255") << QStringLiteral("COM255") << Layer::Serial << 255 << QString()
                                << tcpDefault << QStringLiteral("COM255");
        QTest::newRow("COM256 is a host")
            << QStringLiteral("COM256") << Layer::Tcp << 1 << QStringLiteral("COM256") << tcpDefault
            << QStringLiteral("COM256:10001");
        QTest::newRow("COM0 is a host")
            << QStringLiteral("COM0") << Layer::Tcp << 1 << QStringLiteral("COM0") << tcpDefault
            << QStringLiteral("COM0:10001");
        QTest::newRow("COMPUTER is a host")
            << QStringLiteral("COMPUTER") << Layer::Tcp << 1 << QStringLiteral("COMPUTER")
            << tcpDefault << QStringLiteral("COMPUTER:10001");
        QTest::newRow("COM 3 is a host")
            << QStringLiteral("COM 3") << Layer::Tcp << 1 << QStringLiteral("COM 3") << tcpDefault
            << QStringLiteral("COM 3:10001");
        QTest::newRow("trailing blank: a host")
            << QStringLiteral("COM3 ") << Layer::Tcp << 1 << QStringLiteral("COM3") << tcpDefault
            << QStringLiteral("COM3:10001");
        QTest::newRow("COM-3 is a host")
            << QStringLiteral("COM-3") << Layer::Tcp << 1 << QStringLiteral("COM-3") << tcpDefault
            << QStringLiteral("COM-3:10001");
        QTest::newRow("COM007") << QStringLiteral("COM007") << Layer::Serial << 7 << QString()
                                << tcpDefault << QStringLiteral("COM7");
        QTest::newRow("COM alone is a host")
            << QStringLiteral("COM") << Layer::Tcp << 1 << QStringLiteral("COM") << tcpDefault
            << QStringLiteral("COM:10001");
        QTest::newRow("gate7") << QStringLiteral("gate7") << Layer::Tcp << 1
                               << QStringLiteral("gate7") << tcpDefault
                               << QStringLiteral("gate7:10001");
        QTest::newRow("gate7:4001")
            << QStringLiteral("gate7:4001") << Layer::Tcp << 1 << QStringLiteral("gate7")
            << QStringLiteral("4001") << QStringLiteral("gate7:4001");
        QTest::newRow("gate7: has an empty port")
            << QStringLiteral("gate7:") << Layer::Tcp << 1 << QStringLiteral("gate7") << QString()
            << QStringLiteral("gate7");
        QTest::newRow("split at the first colon")
            << QStringLiteral("a:b:c") << Layer::Tcp << 1 << QStringLiteral("a")
            << QStringLiteral("b:c") << QStringLiteral("a:b:c");
        QTest::newRow("blanks trimmed")
            << QStringLiteral(" gate7 : telnet ") << Layer::Tcp << 1 << QStringLiteral("gate7")
            << QStringLiteral("telnet") << QStringLiteral("gate7:telnet");
        QTest::newRow("empty field")
            << QString() << Layer::Tcp << 1 << QString() << tcpDefault << QStringLiteral(":10001");
    }
    void portText()
    {
        QFETCH(QString, text);
        const LinkSettings settings = LinkSettings::fromPortText(text);
        QTEST(settings.layer, "layer");
        if (settings.layer == Layer::Serial) {
            QTEST(settings.comNumber, "com");
        } else {
            QTEST(settings.host, "host");
            QTEST(settings.port, "port");
        }
        QTEST(settings.portName(true), "fullName");
    }

    void deviceNamedDirectly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("as it is") << QStringLiteral("/dev/pts/7");
        QTest::newRow("with blanks around") << QStringLiteral(" /dev/pts/7\t");
    }
    void deviceNamedDirectly()
    {
        QFETCH(QString, text);
        const LinkSettings settings = LinkSettings::fromPortText(text);
        QCOMPARE(settings.layer, Layer::Serial);
        QCOMPARE(settings.portName(true), QStringLiteral("/dev/pts/7"));
    }

    void setUpPortLeavesTheSameFullNameAlone_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("configures");

        QTest::newRow("COM3 twice") << QStringLiteral("COM3") << QStringLiteral("COM3") << 1;
        QTest::newRow("gate7:10001 twice")
            << QStringLiteral("gate7:10001") << QStringLiteral("gate7:10001") << 1;
        QTest::newRow("gate7 twice reconfigures")
            << QStringLiteral("gate7") << QStringLiteral("gate7") << 2;
        QTest::newRow("com3 after COM3 reconfigures")
            << QStringLiteral("COM3") << QStringLiteral("com3") << 2;
    }
    void setUpPortLeavesTheSameFullNameAlone()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        FakeLink link;
        setUpPort(link, first);
        setUpPort(link, second);
        QTEST(link.configureCalls, "configures");
    }

    void setUpPortReopensAnOpenLink()
    {
        FakeLink link;
        link.opened = true;
        setUpPort(link, QStringLiteral("COM4"));
        QVERIFY(link.opened);
        QCOMPARE(link.openCalls, 1);
        QCOMPARE(link.current.comNumber, 4);
    }

    void fixedDeviceNumbers_data()
    {
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << 1 << QStringLiteral("/dev/ttyS0");
        QTest::newRow("COM32") << 32 << QStringLiteral("/dev/ttyS31");
        QTest::newRow("COM33") << 33 << QStringLiteral("/dev/ttyUSB0");
        QTest::newRow("COM64") << 64 << QStringLiteral("/dev/ttyUSB31");
        QTest::newRow("COM65") << 65 << QStringLiteral("/dev/ttyACM0");
        QTest::newRow("COM96") << 96 << QStringLiteral("/dev/ttyACM31");
        QTest::newRow("COM97 has none") << 97 << QString();
    }
    void fixedDeviceNumbers()
    {
        QFETCH(int, com);
        QFETCH(QString, device);
        QCOMPARE(SerialPorts::devicePath(com, {}), device);
        if (!device.isEmpty())
            QCOMPARE(SerialPorts::comNumberOf(device), com);
    }

    void overridesWinAndCountWhenTheDeviceExists()
    {
        QTemporaryDir dir;
        const QString fake = dir.filePath(QStringLiteral("pty"));
        QFile file(fake);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const SerialPorts::Overrides overrides{
            {3, fake}, {200, fake}, {7, dir.filePath(QStringLiteral("gone"))}};

        QCOMPARE(SerialPorts::devicePath(3, overrides), fake);
        QCOMPARE(SerialPorts::comNumberOf(QStringLiteral("/dev/ttyS01")), -1);
        const QList<int> present = SerialPorts::presentPorts(
            {QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyS2"),
             QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyAMA0")},
            overrides);
        QCOMPARE(present, (QList<int>{1, 3, 34, 200}));
        QCOMPARE(
            SerialPorts::portList(present),
            (QStringList{QStringLiteral("COM1"), QStringLiteral("COM3"), QStringLiteral("COM34"),
                         QStringLiteral("COM200"), QStringLiteral("hostname:port")}));
        QCOMPARE(SerialPorts::portList({}), QStringList{QStringLiteral("hostname:port")});
    }
};

QTEST_GUILESS_MAIN(TestLinkSettings)
#include "tst_linksettings.moc"
