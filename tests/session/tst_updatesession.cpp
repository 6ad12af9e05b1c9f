// The window's flows without a window: a starting command line, a few of the
// technician's actions, and what the window would then show, what a
// download would send and which boxes were asked.
#include "hexlines.h"
#include "labelservers.h"
#include "scripteddialogs.h"
#include "session/updatesession.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QString describe(const WindowState &s)
{
    QStringList words;
    const auto add = [&words](bool on, const char *word) {
        if (on)
            words << QLatin1String(word);
    };
    add(s.idle, "idle");
    add(s.downloadEnabled, "download");
    add(s.settingsPanelShown, "panel");
    add(s.eepromBoxShown, "eepromBox");
    add(s.codesBoxShown, "codesBox");
    add(s.eepromTicked, "eepromTicked");
    add(s.codesTicked, "codesTicked");
    add(s.codesGroupShown, "codes");
    add(s.relayGroupShown, "relay");
    add(s.facilityGroupShown, "facility");
    add(s.saveShown, "save");
    add(s.stickerShown, "sticker");
    words << (s.codeTexts ? QStringLiteral("CF=") + s.codeTexts->front() : QStringLiteral("typed"));
    return words.join(QLatin1Char(' '));
}

} // namespace

class TestUpdateSession : public QObject {
    Q_OBJECT

private slots:
    void flows_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("arguments"); // FW: the firmware file
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("state"); // after the events
        QTest::addColumn<QString>("results"); // "|" between the answers of events
        QTest::addColumn<QStringList>("boxes");

        const QByteArray all = firmware(true, true, true, true);
        const QString invalid = QStringLiteral("Invalid file format or hex file corrupt");
        const QString noCodes = QStringLiteral(
            "No customer codes specified.\rAre you sure you want to save to file?");
        QTest::newRow("settings mode, every slot, a label server")
            << all << "custcode FW"
            << "job"
            << "idle download panel eepromBox codesBox codesTicked codes relay facility save "
               "sticker CF="
            << "eeprom=0 table=1" << QStringList{};
        QTest::newRow("mode=all ticks both boxes")
            << all << "mode=all FW"
            << "job"
            << "idle download eepromBox codesBox eepromTicked codesTicked CF="
            << "eeprom=1 table=1" << QStringList{};
        QTest::newRow("the table's box shown and not ticked: no table")
            << all << "FW"
            << "job"
            << "idle download eepromBox codesBox CF="
            << "eeprom=0 table=0" << QStringList{};
        QTest::newRow("no table box: the table goes") << firmware(false, true, false, false) << "FW"
                                                      << "eeprom job"
                                                      << "idle download eepromTicked CF="
                                                      << "eeprom=1 table=1" << QStringList{};
        QTest::newRow("auto mode: no saving, the start taken once")
            << all << "custcode mode=auto FW"
            << "auto auto"
            << "idle download panel eepromBox codesBox codesTicked codes relay facility CF="
            << "auto=1|auto=0" << QStringList{};
        QTest::newRow("auto mode, no valid file: never started")
            << QByteArray("garbage") << "mode=auto FW"
            << "auto"
            << "idle CF="
            << "auto=0" << QStringList{};
        QTest::newRow("browse to a bad file: a box, no download, the name kept")
            << all << "FW"
            << "browse-bad"
            << "idle CF="
            << "" << QStringList{invalid};
        QTest::newRow("browse empties the shown codes")
            << all << "cf=12 custcode FW"
            << "browse-good"
            << "idle download panel codesBox codesTicked codes relay facility save "
               "sticker CF="
            << "" << QStringList{};
        QTest::newRow("typed codes survive a refresh until checked")
            << all << "cf=12 custcode FW"
            << "typed"
            << "idle download panel eepromBox codesBox codesTicked codes relay facility save "
               "sticker typed"
            << "" << QStringList{};
        QTest::newRow("a code out of range: the message, the slot kept")
            << all << "cf=12 custcode FW"
            << "typed check-1000 slots"
            << "idle download panel eepromBox codesBox codesTicked codes relay facility save "
               "sticker typed"
            << "check=0|CF=12" << QStringList{QStringLiteral("code out of range (1 - 999)")};
        QTest::newRow("a checked code is what the grid shows")
            << all << "custcode FW"
            << "typed check-7 slots"
            << "idle download panel eepromBox codesBox codesTicked codes relay facility save "
               "sticker CF=007"
            << "check=1|CF=7" << QStringList{};
        QTest::newRow("save without codes, answered No") << all << "custcode FW"
                                                         << "save"
                                                         << ""
                                                         << "save=declined" << QStringList{noCodes};
        QTest::newRow("an invalid code at start: quit, settings mode off")
            << all << "cf=5000 custcode FW"
            << "quit"
            << "idle download eepromBox codesBox codesTicked CF=5000"
            << "quit=1" << QStringList{QStringLiteral("Error: invalid CF customer code")};
    }
    void flows()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, arguments);
        QFETCH(QString, events);
        QFETCH(QString, state);
        QFETCH(QString, results);
        QFETCH(QStringList, boxes);

        QTemporaryDir dir;
        const QString fw = dir.filePath(QStringLiteral("fw.hex"));
        const QString other = dir.filePath(QStringLiteral("other.hex"));
        const QString bad = dir.filePath(QStringLiteral("bad.hex"));
        QVERIFY(TestFiles::write(fw, content));
        QVERIFY(TestFiles::write(other, firmware(true, true, true, false)));
        QVERIFY(TestFiles::write(bad, "garbage"));

        UpdateSession::Environment environment;
        environment.programPath = QStringLiteral("/usr/bin/corvant-fwupdate");
        environment.arguments = arguments.replace(QLatin1String("FW"), fw).split(QLatin1Char(' '));
        environment.settingsPath = dir.filePath(QStringLiteral("settings.ini"));
        ScriptedDialogs dialogs;
        WorkingLabelServer labels;
        UpdateSession session(environment, dialogs, labels);
        session.start();
        QTRY_VERIFY(!session.state().saveShown || session.state().stickerShown);

        QStringList got;
        std::array<QString, OptionSlots::kSlotCount> texts;
        for (const QString &event : events.split(QLatin1Char(' '))) {
            if (event == QLatin1String("job")) {
                const std::optional<DownloadJob> job = session.prepareDownload();
                QVERIFY(job);
                got << QStringLiteral("eeprom=%1 table=%2")
                           .arg(int(job->framing.sendEeprom))
                           .arg(int(job->framing.sendCodeTable));
            } else if (event == QLatin1String("eeprom")) {
                session.setEepromTicked(true);
            } else if (event == QLatin1String("auto")) {
                got << QStringLiteral("auto=%1").arg(int(session.takeAutoStart()));
            } else if (event.startsWith(QLatin1String("browse"))) {
                dialogs.fileNames << (event.endsWith(QLatin1String("bad")) ? bad : other);
                session.browse();
                QCOMPARE(session.state().fileName,
                         event.endsWith(QLatin1String("bad")) ? fw : other);
            } else if (event == QLatin1String("typed")) {
                session.codesTyped();
            } else if (event.startsWith(QLatin1String("check-"))) {
                texts[0] = event.mid(6);
                got << QStringLiteral("check=%1").arg(int(session.checkCodes(texts).passed()));
            } else if (event == QLatin1String("slots")) {
                got << QStringLiteral("CF=%1").arg(session.customerSlots()[OptionSlots::CF]);
            } else if (event == QLatin1String("save")) {
                got << (session.save(false) == UpdateSession::SaveOutcome::NoCodesDeclined
                            ? QStringLiteral("save=declined")
                            : QStringLiteral("save=went on"));
            } else if (event == QLatin1String("quit")) {
                got << QStringLiteral("quit=%1").arg(int(session.quitAtStart()));
            }
        }
        if (!state.isEmpty())
            QCOMPARE(describe(session.state()), state);
        QCOMPARE(got.join(QLatin1Char('|')), results);
        QCOMPARE(dialogs.texts(), boxes);
    }
};

QTEST_GUILESS_MAIN(TestUpdateSession)
#include "tst_updatesession.moc"
