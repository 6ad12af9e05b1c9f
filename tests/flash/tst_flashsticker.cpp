// Stickers from a station: corvant-flash --loop --sticker against simulated
// readers, printing through the real label server on a private session bus.
#include "../label/pdftext.h"
#include "reader-sim/simulatorserver.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");
const QString kLabel = QStringLiteral(CORVANT_SOURCE_DIR "/tools/label-server/quilmar.lbl");

} // namespace

class TestFlashSticker : public QObject {
    Q_OBJECT

private slots:
    void stickerPerUnit_data()
    {
        QTest::addColumn<bool>("labelThere");
        QTest::newRow("printed, each unit with its codes") << true;
        QTest::newRow("a label that does not open: recorded, the line goes on") << false;
    }
    void stickerPerUnit()
    {
        QFETCH(bool, labelThere);
        QTemporaryDir dir;
        const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
        QByteArray label = TestFiles::read(kLabel);
        label.replace("<corvant:output/>", "<corvant:output pdf=\"sticker.pdf\"/>");
        QVERIFY(TestFiles::write(path("quilmar.lbl"), label));
        const QString labelFile = labelThere ? path("quilmar.lbl") : path("missing.lbl");
        QVERIFY(TestFiles::write(path("corvant-fwupdate.ini"),
                                 "[nicelabel]\nfilename=" + labelFile.toUtf8() + "\n"));
        std::vector<std::unique_ptr<SimulatorServer>> readers;
        QByteArray csv = "port,gf\n";
        for (int gf : {12, 34}) {
            readers.push_back(std::make_unique<SimulatorServer>(SimulatorServer::Options{}));
            csv += "127.0.0.1:" + QByteArray::number(readers.back()->listenTcp(0)) + ","
                + QByteArray::number(gf) + "\n";
        }
        QVERIFY(TestFiles::write(path("readers.csv"), csv));

        QProcess flash;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        flash.setProcessEnvironment(environment);
        QSignalSpy finished(&flash, &QProcess::finished);
        flash.start(QStringLiteral(CORVANT_FLASH),
                    {QStringLiteral("--readers"), path("readers.csv"), QStringLiteral("--loop"),
                     QStringLiteral("--units"), QStringLiteral("2"), QStringLiteral("--sticker"),
                     QStringLiteral("--report"), path("report.json"), kExample});
        QVERIFY(finished.wait(60000));
        QCOMPARE(flash.exitCode(), 0); // a sticker never fails the run

        const QJsonArray units = QJsonDocument::fromJson(TestFiles::read(path("report.json")))
                                     .object()
                                     .value(QLatin1String("readers"))
                                     .toArray();
        QCOMPARE(units.size(), 4);
        const QJsonObject expected = labelThere
            ? QJsonObject{{QStringLiteral("printed"), true}}
            : QJsonObject{{QStringLiteral("printed"), false},
                          {QStringLiteral("error"),
                           QStringLiteral("Error: OpenLabel failed (%1)").arg(labelFile)}};
        for (const QJsonValue &unit : units)
            QCOMPARE(unit[QLatin1String("sticker")].toObject(), expected);
        if (!labelThere) {
            QVERIFY(flash.readAllStandardError().contains("no sticker: Error: OpenLabel failed"));
            return;
        }
        // The last sticker printed: the firmware and one reader's own code.
        const QString text = PdfText::text(path("sticker.pdf"));
        QVERIFY2(text.contains(QLatin1String("reader_v1.00")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("GF12")) != text.contains(QLatin1String("GF34")),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestFlashSticker)
#include "tst_flashsticker.moc"
