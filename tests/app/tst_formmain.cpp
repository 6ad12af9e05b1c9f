// The main window offscreen, with scripted message boxes and file dialogs.
#include "app/optionedits.h"
#include "app/panelsettings.h"
#include "app/tformlogging.h"
#include "app/tformmain.h"
#include "reader-sim/simulatorserver.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <sys/stat.h>

namespace {

// Counts the label server's calls; its closing call fails.
class CountingLabelServer : public LabelServer {
public:
    int quits = 0;
    std::int32_t StartDesigner() override { return 0; }
    std::int32_t QuitDesigner() override
    {
        ++quits;
        throw LabelServerError(QStringLiteral("gone"));
    }
    std::int32_t OpenLabel(const QString &) override { return 0; }
    std::int32_t SetVariable(const QString &, const QString &) override { return 0; }
    std::int32_t PrintLabel(std::int32_t) override { return 0; }
};

// A label server slow to start: the start-up call answers when the test says.
class SlowLabelServer : public WorkingLabelServer {
public:
    std::function<void(bool)> answer;
    void startDesignerAsync(QObject *, std::function<void(bool)> done) override
    {
        answer = std::move(done);
    }
};

// Records whether the busy cursor shows while a call runs.
class CursorWatchingLabelServer : public WorkingLabelServer {
public:
    QList<bool> busyDuringCalls;
    std::int32_t OpenLabel(const QString &) override
    {
        busyDuringCalls << busy();
        return 0;
    }
    std::int32_t PrintLabel(std::int32_t) override
    {
        busyDuringCalls << busy();
        return 1; // fails: its message must come with the normal cursor
    }
    static bool busy()
    {
        return QApplication::overrideCursor()
            && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    }
};

} // namespace

class TestFormMain : public QObject {
    Q_OBJECT

private slots:
    void controlsFollowFlagsAndModes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("settingsMode");
        QTest::addColumn<bool>("autoMode");
        QTest::addColumn<bool>("labelServer");
        // expected: EEPROM box, codes box, grpCodes, grpRelayTime, grpFacility, PanelSave,
        // PanelNice
        QTest::addColumn<QList<bool>>("visible");

        const QByteArray all = firmware(true, true, true, true);
        QTest::newRow("everything, settings mode, labels")
            << all << true << false << true
            << QList<bool>{true, true, true, true, true, true, true};
        QTest::newRow("everything, no settings mode")
            << all << false << false << true
            << QList<bool>{true, true, false, false, false, false, false};
        QTest::newRow("no label server") << all << true << false << false
                                         << QList<bool>{true, true, true, true, true, true, false};
        QTest::newRow("auto mode hides saving")
            << all << true << true << true
            << QList<bool>{true, true, true, true, true, false, false};
        QTest::newRow("no slots at all")
            << firmware(false, false, false, false) << true << false << true
            << QList<bool>{false, false, false, false, false, false, false};
        QTest::newRow("relay time only")
            << firmware(false, true, false, false) << true << false << true
            << QList<bool>{false, false, false, true, false, true, true};
        QTest::newRow("facility code only")
            << firmware(false, false, true, false) << true << false << false
            << QList<bool>{false, false, false, false, true, true, false};
    }
    void controlsFollowFlagsAndModes()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, settingsMode);
        QFETCH(bool, autoMode);
        QFETCH(bool, labelServer);
        QFETCH(QList<bool>, visible);

        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), content));
        QStringList arguments{w.path("fw.hex")};
        if (settingsMode)
            arguments.prepend(QStringLiteral("custcode"));
        if (autoMode)
            arguments << QStringLiteral("mode=auto");
        w.open(arguments, labelServer);
        const TFormMain &f = *w.form;
        const PanelSettings &p = *f.panelSettings;
        QCOMPARE((QList<bool>{shown(f.chkEEPROM), shown(f.chkCCODES), shown(p.grpCodes),
                              shown(p.grpRelayTime), shown(p.grpFacility), shown(p.PanelSave),
                              shown(p.PanelNice)}),
                 visible);
        QCOMPARE(shown(f.panelSettings), settingsMode);
        QVERIFY(f.btnDownload->isEnabled());
        QVERIFY(shown(f.btnExit));
        QVERIFY(!shown(f.btnCancel));
        QCOMPARE(f.chkCCODES->isChecked(), settingsMode);
    }

    void noValidFile()
    {
        Window w;
        // COM200 has no device: a download that started would say so.
        w.open({w.path("missing.hex"), QStringLiteral("port=com200")});
        QVERIFY(!w.form->btnDownload->isEnabled());
        QVERIFY(w.form->editPort->isEnabled());
        QVERIFY(w.dialogs.shown.isEmpty()); // a failed load at start-up is silent
        QVERIFY(press(*w.form, Qt::Key_F4));
        QVERIFY(w.dialogs.shown.isEmpty());
        QCOMPARE(w.form->StatusBar->text(), QString());
    }

    // A FIFO named as the firmware (or the settings file) holds nothing up.
    void fifoAsFirmwareDoesNotHoldTheStart()
    {
        Window w;
        QCOMPARE(::mkfifo(QFile::encodeName(w.path("fw.hex")).constData(), 0600), 0);
        QCOMPARE(::mkfifo(QFile::encodeName(w.settingsPath()).constData(), 0600), 0);
        w.open({w.path("fw.hex")});
        QVERIFY(!w.form->btnDownload->isEnabled());
        QVERIFY(w.dialogs.shown.isEmpty());
    }

    void shortcutsOnlyWithoutModifiers_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("browses");
        QTest::newRow("F2 alone") << int(Qt::NoModifier) << true;
        QTest::newRow("Shift+F2") << int(Qt::ShiftModifier) << false;
        QTest::newRow("Ctrl+F2") << int(Qt::ControlModifier) << false;
        QTest::newRow("Alt+F2") << int(Qt::AltModifier) << false;
    }
    void shortcutsOnlyWithoutModifiers()
    {
        QFETCH(int, modifiers);
        Window w;
        w.open({});
        QVERIFY(press(*w.form, Qt::Key_F2, Qt::KeyboardModifiers(modifiers)));
        QTEST(w.dialogs.fileRequests.size() == 1, "browses");
    }

    void fileFieldOpensBrowse()
    {
        Window w;
        w.open({});
        w.form->show();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        QTest::mouseClick(w.form->editFile, Qt::RightButton);
        QCOMPARE(w.dialogs.fileRequests.size(), 0);
        QTest::mouseClick(w.form->editFile, Qt::LeftButton);
        QCOMPARE(w.dialogs.fileRequests.size(), 1);
        QTest::keyClick(w.form->editFile, Qt::Key_A);
        QCOMPARE(w.dialogs.fileRequests.size(), 2);
        QTest::keyClick(w.form->editFile, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.dialogs.fileRequests.size(), 2);
    }

    void unattendedStartsOnActivation_data()
    {
        QTest::addColumn<bool>("validFile");
        QTest::newRow("valid file: downloads, exit code 1") << true;
        QTest::newRow("file that does not load: stays open") << false;
    }
    void unattendedStartsOnActivation()
    {
        QFETCH(bool, validFile);
        SimulatorServer sim({});
        const quint16 port = sim.listenTcp(0);
        Window w;
        if (validFile)
            QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(false, true, true, false)));
        w.open({QStringLiteral("mode=auto"), w.path("fw.hex"),
                QStringLiteral("port=127.0.0.1:%1").arg(port)});
        QSignalSpy closed(w.form.get(), &TFormMain::closed);
        w.form->show();
        if (validFile) {
            QVERIFY(closed.wait(20000));
            QCOMPARE(w.form->session().exitCode(), 1);
            QCOMPARE(w.form->StatusBar->text(), QStringLiteral("Download successfully completed"));
            QVERIFY(QFile::exists(w.settingsPath()));
            QVERIFY(w.dialogs.shown.isEmpty());
        } else {
            QVERIFY(!closed.wait(500));
            QCOMPARE(w.form->session().exitCode(), 0);
            QCOMPARE(sim.engine().messages(), 0);
        }
    }

    // A bare X session has no window manager to activate the window: the
    // first show alone starts an unattended download.
    void firstShowRunsTheAutoStartCheck()
    {
        SimulatorServer sim({});
        const quint16 port = sim.listenTcp(0);
        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(false, true, true, false)));
        w.open({QStringLiteral("mode=auto"), w.path("fw.hex"),
                QStringLiteral("port=127.0.0.1:%1").arg(port)});
        QCOMPARE(w.form->session().autoMode(), UpdateSession::AutoMode::Requested);
        w.form->show(); // no event handled yet, so no activation either
        QCOMPARE(w.form->session().autoMode(), UpdateSession::AutoMode::Started);
        QSignalSpy closed(w.form.get(), &TFormMain::closed);
        QVERIFY(closed.wait(20000));
        QCOMPARE(sim.engine().messages(), 4); // three writes and the end: downloaded once
    }

    void stickerButtonsAppearOnceTheServerAnswers_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("server answers") << true;
        QTest::newRow("server cannot be reached") << false;
    }
    void stickerButtonsAppearOnceTheServerAnswers()
    {
        QFETCH(bool, answered);
        Window w;
        SlowLabelServer labels;
        w.otherLabelServer = &labels;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(true, true, true, false)));
        w.open({QStringLiteral("custcode"), w.path("fw.hex")});
        QVERIFY(labels.answer);
        const PanelSettings &p = *w.form->panelSettings;
        QVERIFY(shown(p.PanelSave));
        QVERIFY(!shown(p.PanelNice));
        labels.answer(answered);
        QCOMPARE(shown(p.PanelNice), answered);
    }

    void labelCallsShowTheBusyCursor()
    {
        Window w;
        CursorWatchingLabelServer labels;
        w.otherLabelServer = &labels;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(true, true, true, false)));
        w.open({QStringLiteral("cf=5"), w.path("fw.hex")});
        w.form->panelSettings->btnNicePrint->click();
        QCOMPARE(labels.busyDuringCalls, (QList<bool>{true, true}));
        QCOMPARE(w.dialogs.shown.size(), 1); // PrintLabel failed
        QVERIFY(!QApplication::overrideCursor());
    }

    // Opening a host shows the wait cursor; it is gone once the connection
    // is under way, and before any box about the port.
    void downloadShowsTheBusyCursorWhileOpening_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("busyWhileOpening");
        QTest::addColumn<int>("boxes");
        QTest::newRow("host, refused") << QStringLiteral("127.0.0.1:1") << true << 0;
        QTest::newRow("serial port missing") << QStringLiteral("COM200") << false << 1;
    }
    void downloadShowsTheBusyCursorWhileOpening()
    {
        QFETCH(QString, port);
        QFETCH(bool, busyWhileOpening);
        QFETCH(int, boxes);
        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(false, true, true, false)));
        w.open({w.path("fw.hex"), QStringLiteral("port=") + port});
        QList<QPair<DownloadEngine::Phase, bool>> seen;
        connect(&w.form->session().download(), &DownloadEngine::phaseChanged, this,
                [&seen](DownloadEngine::Phase phase) {
                    seen.append({phase, CursorWatchingLabelServer::busy()});
                });
        bool busyDuringBox = false;
        w.dialogs.whileOpen
            = [&busyDuringBox] { busyDuringBox = CursorWatchingLabelServer::busy(); };
        w.form->btnDownloadClick();
        QTRY_VERIFY(!w.form->session().download().isBusy());
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.first(), qMakePair(DownloadEngine::Phase::Opening, busyWhileOpening));
        for (qsizetype i = 1; i < seen.size(); ++i)
            QVERIFY(!seen.at(i).second);
        QCOMPARE(w.dialogs.shown.size(), boxes);
        QVERIFY(!busyDuringBox);
        QVERIFY(!QApplication::overrideCursor());
    }

    void usageQuitsAtStart()
    {
        Window w;
        w.open({QStringLiteral("/?"), QStringLiteral("mode=auto")});
        QVERIFY(w.form->session().quitAtStart());
        QCOMPARE(w.dialogs.texts(),
                 QStringList{QStringLiteral("Usage: /opt/corvant/corvant-fwupdate [ port=COMn ] "
                                            "[ mode=AUTO ] [ mode=ALL ] [ filename.hex ]")});
        QCOMPARE(w.dialogs.shown.at(0).icon, Dialogs::Icon::Information);
        w.form.reset();
        QVERIFY(!QFile::exists(w.settingsPath()));
    }

    void closeCallsTheLabelServerAndIgnoresItsError()
    {
        Window w;
        CountingLabelServer labels;
        w.otherLabelServer = &labels;
        w.open({});
        QVERIFY(w.form->close());
        QCOMPARE(labels.quits, 1);
        QVERIFY(QFile::exists(w.settingsPath()));
        QVERIFY(w.dialogs.shown.isEmpty());
    }

    void whileDownloadingInputsAreLocked()
    {
        SimulatorServer::Options options;
        options.faults.ignoreWakeups = 1000; // the search goes on
        SimulatorServer sim(options);
        const quint16 port = sim.listenTcp(0);

        Window w;
        CountingLabelServer labels;
        w.otherLabelServer = &labels;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(true, true, true, true)));
        w.open({QStringLiteral("custcode"), w.path("fw.hex"),
                QStringLiteral("port=127.0.0.1:%1").arg(port)});
        TFormMain &f = *w.form;
        QVERIFY(press(f, Qt::Key_F4));
        QTRY_VERIFY(f.session().download().holdsLink());
        QTRY_VERIFY(f.StatusBar->text().startsWith(QLatin1String("Searching for bootloader")));

        for (QWidget *control :
             {static_cast<QWidget *>(f.editPort), static_cast<QWidget *>(f.editFile),
              static_cast<QWidget *>(f.btnBrowse), static_cast<QWidget *>(f.chkCCODES),
              static_cast<QWidget *>(f.chkEEPROM), static_cast<QWidget *>(f.panelSettings->SG1),
              static_cast<QWidget *>(f.panelSettings->editRelayTime),
              static_cast<QWidget *>(f.panelSettings->editFacility),
              static_cast<QWidget *>(f.btnDownload),
              static_cast<QWidget *>(f.panelSettings->btnSave),
              static_cast<QWidget *>(f.panelSettings->btnSaveAES),
              static_cast<QWidget *>(f.panelSettings->btnNicePrint),
              static_cast<QWidget *>(f.panelSettings->btnNiceSettings)})
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(shown(f.btnCancel));
        QVERIFY(!shown(f.btnExit));

        // F2 and F4 do nothing now; closing is refused and cancels instead.
        QVERIFY(press(f, Qt::Key_F2));
        QVERIFY(w.dialogs.fileRequests.isEmpty());
        QSignalSpy closed(&f, &TFormMain::closed);
        QVERIFY(!f.close());
        QCOMPARE(labels.quits, 0); // a refused close calls nobody
        QCOMPARE(f.StatusBar->text(), QStringLiteral("Cancelling..."));
        QTRY_VERIFY(!f.session().download().holdsLink());
        QVERIFY(closed.isEmpty());
        QVERIFY(shown(f.btnExit));
        QVERIFY(f.btnDownload->isEnabled());
    }

    void browse()
    {
        Window w;
        QVERIFY(TestFiles::write(w.path("good.hex"), firmware(false, false, false, false)));
        QVERIFY(TestFiles::write(w.path("bad.hex"), ":0400000000000000FD\r\n"));
        w.open({w.path("good.hex")});
        TFormMain &f = *w.form;
        QVERIFY(showsFile(f, w.path("good.hex")));

        w.dialogs.fileNames = {w.path("bad.hex")};
        QVERIFY(press(f, Qt::Key_F2));
        QCOMPARE(w.dialogs.fileRequests.size(), 1);
        QCOMPARE(w.dialogs.fileRequests.at(0).title,
                 QStringLiteral("CORVANT Firmware Update Utility  -  Open hex file"));
        QCOMPARE(w.dialogs.fileRequests.at(0).directory, w.dir.path());
        QCOMPARE(w.dialogs.texts(),
                 QStringList{QStringLiteral("Invalid file format or hex file corrupt")});
        QVERIFY(showsFile(f, w.path("good.hex")));
        QVERIFY(!f.btnDownload->isEnabled());

        // Coming back to the program reloads the file and enables Download.
        f.session().reload();
        QVERIFY(f.btnDownload->isEnabled());

        w.dialogs.fileNames = {QString()}; // cancelled
        f.session().browse();
        QVERIFY(f.btnDownload->isEnabled());
        QCOMPARE(w.dialogs.shown.size(), 1);
    }

    void emptyFileFieldShowsThePlaceholder()
    {
        Window w;
        w.open({});
        QCOMPARE(w.form->editFile->text(), QString());
        QCOMPARE(w.form->editFile->placeholderText(), QStringLiteral("« no file selected »"));
    }

    void longPathIsShortenedToTheField()
    {
        Window w;
        const QString deep
            = w.path("a-rather-long-folder-name/another-long-folder-name/and-one-more");
        QVERIFY(QDir().mkpath(deep));
        QVERIFY(TestFiles::write(deep + QStringLiteral("/app.hex"),
                                 firmware(false, false, false, false)));
        w.open({deep + QStringLiteral("/app.hex")});
        TFormMain &f = *w.form;
        f.show();
        f.resize(300, f.height());
        QTRY_VERIFY(f.editFile->text().contains(QLatin1String(".../app.hex")));
        f.resize(2000, f.height());
        QTRY_COMPARE(f.editFile->text(), deep + QStringLiteral("/app.hex"));
    }

    void commandLineCodesShowInTheGrid_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("cf=123") << QStringLiteral("cf=123") << 0 << QStringLiteral("123");
        QTest::newRow("cf=5") << QStringLiteral("cf=5") << 0 << QStringLiteral("005");
        QTest::newRow("df=42") << QStringLiteral("df=42") << 1 << QStringLiteral("0042");
        QTest::newRow("gf=0 is empty") << QStringLiteral("gf=0") << 2 << QString();
    }
    void commandLineCodesShowInTheGrid()
    {
        QFETCH(QString, argument);
        QFETCH(int, row);
        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(true, false, false, false)));
        w.open({argument, w.path("fw.hex")});
        QVERIFY(shown(w.form->panelSettings));
        QVERIFY(shown(w.form->panelSettings->grpCodes));
        QVERIFY(w.form->chkCCODES->isChecked());
        QTEST(w.form->panelSettings->cellText(row), "text");
    }

    void invalidCodeQuitsWithoutWritingSettings()
    {
        Window w;
        w.open({QStringLiteral("cf=1000"), QStringLiteral("gf=abc")});
        QVERIFY(w.form->session().quitAtStart());
        QCOMPARE(w.form->session().exitCode(), 0);
        QCOMPARE(w.dialogs.texts(),
                 (QStringList{QStringLiteral("Error: invalid CF customer code"),
                              QStringLiteral("Error: invalid GF customer code")}));
        w.form.reset();
        QVERIFY(!QFile::exists(w.settingsPath()));
    }

    void settingsFileAtStartAndClose()
    {
        Window w;
        w.open({}, false, {});
        QCOMPARE(w.form->editPort->currentText(), QStringLiteral("hostname:port"));
        QCOMPARE(w.form->editPort->count(), 1);

        Window withPorts;
        withPorts.open({});
        QCOMPARE(withPorts.form->editPort->currentText(), QStringLiteral("COM1"));
        QCOMPARE(withPorts.form->editPort->count(), 3); // COM1, COM34, hostname:port

        Window stored;
        QVERIFY(TestFiles::write(stored.settingsPath(),
                                 "[settings]\r\ncomport=gate7:4001\r\nextra=kept\r\n[formmain]"
                                 "\r\nleft=0x10\r\ntop=-5000\r\n"
                                 "[ports]\r\nCOM9=/tmp/reader\r\n"));
        stored.open({});
        QCOMPARE(stored.form->editPort->currentText(), QStringLiteral("gate7:4001"));
        stored.form->show();
        QTRY_COMPARE(stored.form->pos(), QPoint(16, -5000));
        stored.form->editPort->setCurrentText(QStringLiteral("COM3"));
        QVERIFY(stored.form->close());
        const QByteArray written = TestFiles::read(stored.settingsPath());
        QCOMPARE(
            written,
            QByteArray(
                // left is unchanged (0x10 is 16): only what changed, or was
                // missing, is written.
                "[settings]\r\ncomport=COM3\r\nextra=kept\r\nfile=\r\n[formmain]\r\nleft=0x10\r\n"
                "top=-5000\r\n[ports]\r\nCOM9=/tmp/"
                "reader\r\n[nicelabel]\r\nfilename=quilmar.lbl\r\n"
                "varname1=firmware\r\nvarname2=custcode\r\n"));
    }

    void unwritableSettingsAreReported()
    {
        Window w;
        QVERIFY(QDir(w.dir.path()).mkdir(QStringLiteral("corvant-fwupdate.ini")));
        w.open({});
        QVERIFY(w.form->close());
        QCOMPARE(w.dialogs.texts(),
                 QStringList{QStringLiteral("Unable to write to ") + w.settingsPath()});
    }

    // The Download/Cancel row stays put when the progress bar appears.
    void progressBarMovesNothing()
    {
        Window w;
        w.open({});
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        const QRect before = w.form->btnDownload->geometry();
        w.form->ProgressBar->show();
        w.form->PanelButtons->layout()->activate();
        QCOMPARE(w.form->btnDownload->geometry(), before);
    }

    // A dark theme, also one chosen while the program runs, reaches the
    // progress bar's background and the grid's label cells.
    void darkPaletteReachesBarAndGridLabels()
    {
        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(true, true, true, false)));
        w.open({QStringLiteral("custcode"), w.path("fw.hex")});
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
        QApplication::setPalette(dark);
        QCoreApplication::processEvents(); // the change reaches the widgets through events
        w.form->ProgressBar->setRange(0, 100);
        w.form->ProgressBar->setValue(0);
        w.form->ProgressBar->show();
        const QImage bar = w.form->ProgressBar->grab().toImage();
        const QImage grid = w.form->panelSettings->SG1->grab().toImage();
        QApplication::setPalette(light);
        QCOMPARE(bar.pixelColor(bar.width() / 2, bar.height() / 2), dark.color(QPalette::Base));
        // The CF label cell, right of its text.
        const int labelRight = w.form->panelSettings->SG1->columnWidth(0) - 3;
        QCOMPARE(grid.pixelColor(labelRight, 11), dark.color(QPalette::Button));
    }

    void windowIsCentredWithoutStoredPosition()
    {
        Window w;
        w.open({});
        w.form->show();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTRY_COMPARE(w.form->frameGeometry().x(),
                     (screen.width() - w.form->frameGeometry().width()) / 2);
        QCOMPARE(w.form->frameGeometry().y(),
                 (screen.height() - w.form->frameGeometry().height()) / 2);
    }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
