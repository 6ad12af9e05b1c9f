// The settings panel offscreen: the customer code grid, the option edits,
// the group double-clicks and the save flow.
#include "app/optionedits.h"
#include "app/panelsettings.h"
#include "app/tformlogging.h"
#include "fulldisk.h"
#include "image/encryptedhex.h"
#include "image/imageloader.h"
#include "options/codewordtable.h"
#include "options/customercodes.h"
#include "options/optionword.h"
#include "options/readeroptions.h"
#include "reader-sim/simulatorserver.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

using Slots = CustomerSlots; // CF, C, DF, D, GF, G, A, B
using RowTexts = QList<QString>;
Q_DECLARE_METATYPE(CustomerSlots)

namespace {

const Slots kOld = {11, 22, 33, 44, 55, 66, 77, 88};

// A window in settings mode on a firmware with every slot, shown and active.
struct Panel : Window {
    TFormMain *f = nullptr;
    PanelSettings *p = nullptr;

    bool start(const QStringList &extra = {})
    {
        if (!TestFiles::write(path("fw_v3_x.hex"), firmware(true, true, true, false)))
            return false;
        open(QStringList{QStringLiteral("custcode"), path("fw_v3_x.hex")} + extra);
        f = form.get();
        p = f->panelSettings;
        f->show();
        return QTest::qWaitForWindowActive(f);
    }

    // Types into the grid's value cells and leaves the grid.
    void leaveGridWith(const RowTexts &texts)
    {
        p->SG1->setFocus();
        for (int row = 0; row < texts.size(); ++row)
            p->setCellText(row, texts[row]);
        f->editPort->setFocus();
    }

    QLineEdit *lineEdit(QWidget *edit) const { return edit->findChild<QLineEdit *>(); }
};

bool focusInGrid(const Panel &panel)
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == panel.p->SG1 || panel.p->SG1->isAncestorOf(focus));
}

// Keys as the technician types them: each to whatever has the focus then.
void typeKeys(const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// A cell editor is open in the grid with text typed into it.
bool editorOpenWith(const Panel &panel, const QString &text)
{
    const auto *editor = qobject_cast<const QLineEdit *>(QApplication::focusWidget());
    return editor && panel.p->SG1->isAncestorOf(editor) && editor->text() == text;
}

// Records the sticker's variables.
class RecordingLabelServer : public LabelServer {
public:
    QMap<QString, QString> variables;
    std::int32_t StartDesigner() override { return 0; }
    std::int32_t QuitDesigner() override { return 0; }
    std::int32_t OpenLabel(const QString &) override { return 0; }
    std::int32_t SetVariable(const QString &name, const QString &value) override
    {
        variables.insert(name, value);
        return 0;
    }
    std::int32_t PrintLabel(std::int32_t) override { return 0; }
};

bool isRed(const QWidget *edit)
{
    return edit->palette().color(QPalette::Base) == Qt::red
        && edit->palette().color(QPalette::Text) == Qt::white;
}

} // namespace

class TestPanelSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void gridCheckOnLeaving_data()
    {
        QTest::addColumn<RowTexts>("texts");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<Slots>("slots");

        const auto rows = [](std::initializer_list<const char *> list) {
            RowTexts texts;
            for (const char *t : list)
                texts << QString::fromLatin1(t);
            return texts;
        };
        QTest::newRow("1000 in row 0")
            << rows({"1000", "", "", "", "", "", "", ""})
            << QStringLiteral("code out of range (1 - 999)") << 0 << kOld;
        QTest::newRow("0 in row 2") << rows({"1", "2", "0", "", "", "", "", ""})
                                    << QStringLiteral("code out of range (1 - 255)") << 2
                                    << Slots{1, 22, 2, 44, 55, 66, 77, 88};
        QTest::newRow("9999 in row 7") << rows({"", "", "", "", "", "", "", "9999"}) << QString()
                                       << -1 << Slots{0, 0, 0, 0, 0, 0, 0, 9999};
        QTest::newRow("10000 in row 7") << rows({"", "", "", "", "", "", "", "10000"})
                                        << QStringLiteral("code out of range (1 - 9999)") << 7
                                        << Slots{0, 0, 0, 0, 0, 0, 0, 88};
        QTest::newRow("invalid row 3, new valid row 5")
            << rows({"5", "6", "7", "abc", "", "9", "", ""})
            << QStringLiteral("code out of range (1 - 999)") << 3
            << Slots{5, 22, 6, 44, 7, 66, 77, 88};
    }
    void gridCheckOnLeaving()
    {
        QFETCH(RowTexts, texts);
        QFETCH(QString, message);
        QFETCH(int, selectedRow);

        Panel panel;
        QVERIFY(panel.start());
        panel.leaveGridWith({QStringLiteral("11"), QStringLiteral("33"), QStringLiteral("55"),
                             QStringLiteral("22"), QStringLiteral("44"), QStringLiteral("66"),
                             QStringLiteral("77"), QStringLiteral("88")});
        QCOMPARE(panel.f->session().customerSlots(), kOld);

        panel.leaveGridWith(texts);
        QCOMPARE(panel.dialogs.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QTEST(panel.f->session().customerSlots(), "slots");
        if (!message.isEmpty()) {
            QCOMPARE(panel.dialogs.shown.at(0).icon, Dialogs::Icon::Error);
            QTRY_VERIFY(focusInGrid(panel));
            QTRY_COMPARE(panel.p->SG1->currentRow(), selectedRow);
            QCOMPARE(panel.p->SG1->currentColumn(), 1);
        } else {
            QVERIFY(panel.p->SG1->selectedItems().isEmpty());
        }
    }

    // F4 pressed while typing into the grid sends the typed code: the open
    // editor is committed and the codes checked first, as leaving would.
    void f4InTheGridSendsTheTypedCode_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("message"); // empty: downloaded
        QTest::newRow("editor still open") << QStringLiteral("123") << false << QString();
        QTest::newRow("after Enter") << QStringLiteral("123") << true << QString();
        QTest::newRow("out of range: nothing sent")
            << QStringLiteral("1000") << false << QStringLiteral("code out of range (1 - 999)");
    }
    void f4InTheGridSendsTheTypedCode()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(QString, message);
        SimulatorServer reader({});
        const quint16 port = reader.listenTcp(0);
        Panel panel;
        QVERIFY(panel.start({QStringLiteral("port=127.0.0.1:%1").arg(port)}));
        panel.p->SG1->setFocus();
        typeKeys(typed);
        QVERIFY(editorOpenWith(panel, typed));
        if (enter) {
            pressKey(Qt::Key_Return);
            QTRY_COMPARE(QApplication::focusWidget(), panel.p->SG1);
        }
        pressKey(Qt::Key_F4);

        if (!message.isEmpty()) {
            QVERIFY2(panel.dialogs.texts() == QStringList{message},
                     qPrintable(panel.dialogs.texts().join(QLatin1Char('|'))));
            QVERIFY(!panel.f->session().download().holdsLink());
            QCOMPARE(panel.f->StatusBar->text(), QString());
            QTRY_VERIFY(focusInGrid(panel));
            QCOMPARE(reader.engine().messages(), 0);
            return;
        }
        QTRY_VERIFY(
            panel.dialogs.texts().contains(QStringLiteral("Download successfully completed")));
        QCOMPARE(panel.f->session().customerSlots()[OptionSlots::CF], 123);
        QCOMPARE(panel.p->cellText(0), QStringLiteral("123"));
        const QMap<int, std::uint16_t> &words = reader.engine().memory().words();
        QCOMPARE(std::uint16_t((words.value(0xF1) & 0xFF) << 8 | (words.value(0xF2) & 0xFF)),
                 CodeWordTable::kEntries[123]);
    }

    void saveAndStickerTakeTheOpenEditor()
    {
        Panel panel;
        RecordingLabelServer labels;
        panel.otherLabelServer = &labels;
        QVERIFY(panel.start({QStringLiteral("cf=7")}));
        panel.p->SG1->setFocus();
        panel.p->SG1->setCurrentCell(2, 1); // GF
        typeKeys(QStringLiteral("45"));
        QVERIFY(editorOpenWith(panel, QStringLiteral("45")));
        panel.dialogs.fileNames = {panel.path("saved.hex")};
        panel.p->btnSave->click();
        QCOMPARE(panel.dialogs.fileRequests.at(0).fileName, QStringLiteral("fw_v3_CF007_GF045"));
        FirmwareImage saved;
        QString name = panel.path("saved.hex");
        QVERIFY(loadImage(name, saved));
        QCOMPARE(CustomerCodes::read(saved).value_or(CustomerSlots{})[OptionSlots::GF], 45);

        panel.p->SG1->setFocus();
        panel.p->SG1->setCurrentCell(1, 1); // DF
        typeKeys(QStringLiteral("42"));
        QVERIFY(editorOpenWith(panel, QStringLiteral("42")));
        panel.p->btnNicePrint->click();
        QCOMPARE(labels.variables.value(QStringLiteral("custcode")),
                 QStringLiteral("CF7 DF42 GF45"));
    }

    void tabLeavesTheGrid_data()
    {
        QTest::addColumn<bool>("backwards");
        QTest::addColumn<bool>("editorOpen");
        QTest::newRow("Tab from an open editor") << false << true;
        QTest::newRow("Shift+Tab from an open editor") << true << true;
        QTest::newRow("Tab from the grid") << false << false;
        QTest::newRow("Shift+Tab from the grid") << true << false;
    }
    void tabLeavesTheGrid()
    {
        QFETCH(bool, backwards);
        QFETCH(bool, editorOpen);
        Panel panel;
        QVERIFY(panel.start());
        panel.p->SG1->setFocus();
        typeKeys(QStringLiteral("12"));
        if (!editorOpen) {
            pressKey(Qt::Key_Return);
            QTRY_COMPARE(QApplication::focusWidget(), panel.p->SG1);
        }
        pressKey(backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                 backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QVERIFY(!focusInGrid(panel));
        QVERIFY(panel.f->isAncestorOf(QApplication::focusWidget()));
        QCOMPARE(panel.f->session().customerSlots()[OptionSlots::CF], 12);
        QVERIFY(panel.dialogs.shown.isEmpty());
    }

    void tabOutWithACodeOutOfRangeComesBack()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.p->SG1->setFocus();
        panel.p->SG1->setCurrentCell(5, 1); // G
        typeKeys(QStringLiteral("256"));
        pressKey(Qt::Key_Tab);
        QCOMPARE(panel.dialogs.texts(), QStringList{QStringLiteral("code out of range (1 - 255)")});
        QTRY_VERIFY(focusInGrid(panel));
        QCOMPARE(panel.p->SG1->currentRow(), 5);
        QCOMPARE(panel.p->SG1->currentColumn(), 1);
    }

    void labelCellsAreNeverCurrent()
    {
        Panel panel;
        QVERIFY(panel.start());
        CustomerCodeGrid *grid = panel.p->SG1;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(3, 0)).center());
        QCOMPARE(grid->currentRow(), 3);
        QCOMPARE(grid->currentColumn(), 1);
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Home}) {
            pressKey(key);
            QCOMPARE(grid->currentRow(), 3);
            QCOMPARE(grid->currentColumn(), 1);
        }
        pressKey(Qt::Key_Up); // rows still change
        QCOMPARE(grid->currentRow(), 2);
        QCOMPARE(grid->currentColumn(), 1);
    }

    // After "No" the technician types at once: the first digit must land,
    // also once the box has given the window back (the window manager
    // activates the window again: an activation within the program).
    void afterNoTheRememberedRowIsReadyForTyping()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.p->SG1->setFocus();
        panel.p->SG1->setCurrentCell(4, 1); // D
        panel.p->btnSave->setFocus(); // leaving remembers row 4
        panel.dialogs.answers = {Dialogs::Answer::No};
        panel.p->btnSave->click();
        QEvent backFromTheBox(QEvent::WindowActivate);
        QApplication::sendEvent(panel.f, &backFromTheBox);
        QTRY_VERIFY(focusInGrid(panel));
        QCOMPARE(panel.p->SG1->currentRow(), 4);
        QCOMPARE(panel.p->SG1->currentColumn(), 1);
        typeKeys(QStringLiteral("9"));
        pressKey(Qt::Key_Tab);
        QCOMPARE(panel.f->session().customerSlots()[OptionSlots::D], 9);
    }

    void leavingForAnotherWindowIsNoExit()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.p->SG1->setFocus();
        panel.p->setCellText(0, QStringLiteral("abc"));
        TFormLogging &log = *panel.f->logging();
        log.show();
        log.activateWindow();
        log.viewer()->setFocus();
        QTRY_VERIFY(log.viewer()->hasFocus());
        QVERIFY(panel.dialogs.shown.isEmpty());
        QCOMPARE(panel.f->session().customerSlots(), CustomerSlots{});
    }

    void activationRemovesTheSelection()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.p->SG1->setCurrentCell(3, 1);
        QVERIFY(!panel.p->SG1->selectedItems().isEmpty());
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(panel.f, &activate);
        QVERIFY(panel.p->SG1->selectedItems().isEmpty());
    }

    void codesAreShownZeroPadded()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.leaveGridWith({QStringLiteral("007"), QStringLiteral("7")});
        QCOMPARE(panel.f->session().customerSlots()[OptionSlots::CF], 7);
        emit panel.f->session().stateChanged();
        QCOMPARE(panel.p->cellText(0), QStringLiteral("007"));
        QCOMPARE(panel.p->cellText(1), QStringLiteral("0007"));
    }

    void deleteEmptiesTheSelectedCell()
    {
        Panel panel;
        QVERIFY(panel.start({QStringLiteral("df=42")}));
        QCOMPARE(panel.p->cellText(1), QStringLiteral("0042"));
        panel.p->SG1->setFocus();
        panel.p->SG1->setCurrentCell(1, 1);
        QTest::keyClick(panel.p->SG1, Qt::Key_Delete);
        QCOMPARE(panel.p->cellText(1), QString());
        panel.f->editPort->setFocus();
        QCOMPARE(panel.f->session().customerSlots()[OptionSlots::DF], 0);
        QVERIFY(panel.dialogs.shown.isEmpty());
    }

    void gridComesBackToTheRememberedRow()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.p->SG1->setFocus();
        QCOMPARE(panel.p->SG1->currentRow(), 0); // remembered row 0 at start
        panel.p->SG1->setCurrentCell(4, 1);
        panel.f->editPort->setFocus();
        QVERIFY(panel.p->SG1->selectedItems().isEmpty());
        panel.p->SG1->setFocus();
        QCOMPARE(panel.p->SG1->currentRow(), 4);
        QCOMPARE(panel.p->SG1->currentColumn(), 1);
    }

    void relayTimeEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("afterLeaving");
        QTest::newRow("25.5") << QStringLiteral("25.5") << true << QStringLiteral("25.5 sec");
        QTest::newRow("25.6") << QStringLiteral("25.6") << false << QStringLiteral("25.6 sec");
        QTest::newRow("0.9") << QStringLiteral("0.9") << false << QStringLiteral("0.9 sec");
        QTest::newRow("1 gets its decimal")
            << QStringLiteral("1") << true << QStringLiteral("1.0 sec");
        QTest::newRow("empty becomes 0") << QString() << false << QStringLiteral("0.0 sec");
    }
    void relayTimeEdit()
    {
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        Panel panel;
        QVERIFY(panel.start());
        RelayTimeEdit *edit = panel.p->editRelayTime;
        QCOMPARE(edit->text(), QStringLiteral("5.0 sec"));
        QVERIFY(!isRed(edit));
        edit->setFocus();
        QLineEdit *line = panel.lineEdit(edit);
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        QTest::keyClicks(line, typed);
        QCOMPARE(!isRed(edit), valid);
        QVERIFY(panel.dialogs.shown.isEmpty());
        panel.f->editPort->setFocus(); // the focus is not held
        QVERIFY(!edit->hasFocus());
        QTEST(edit->text(), "afterLeaving");
        // The typed value is what a save or download writes.
        QCOMPARE(int(ReaderOptionsIo::relayTimeTenths(
                     panel.f->session().readerOptions().relayTimeSeconds)),
                 typed.isEmpty() ? 0 : std::min(255, qRound(typed.toDouble() * 10)));
    }

    // The reader's form in a German locale too: a point, never a comma, and
    // a comma typed becomes the point.
    void relayTimeKeepsItsPointInADecimalCommaLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Panel panel;
        const bool started = panel.start();
        QLocale::setDefault(QLocale::c());
        QVERIFY(started);
        QCOMPARE(panel.p->editRelayTime->text(), QStringLiteral("5.0 sec"));
        panel.p->editRelayTime->setFocus();
        QLineEdit *line = panel.lineEdit(panel.p->editRelayTime);
        line->selectAll();
        QTest::keyClicks(line, QStringLiteral("25,5"));
        QVERIFY(!isRed(panel.p->editRelayTime));
        QCOMPARE(panel.f->session().readerOptions().relayTimeSeconds, 25.5);
        QCOMPARE(panel.p->editRelayTime->text(), QStringLiteral("25.5 sec"));
    }

    void facilityEdit()
    {
        Panel panel;
        QVERIFY(panel.start());
        FacilityCodeEdit *edit = panel.p->editFacility;
        QCOMPARE(edit->text(), QStringLiteral("10"));
        edit->setFocus();
        QLineEdit *line = panel.lineEdit(edit);
        line->selectAll();
        QTest::keyClicks(line, QStringLiteral("65536"));
        QVERIFY(isRed(edit));
        QTest::keyClick(line, Qt::Key_Backspace);
        QTest::keyClicks(line, QStringLiteral("5"));
        QVERIFY2(!isRed(edit), "the colours go when the value is valid again");
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        QTest::keyClicks(line, QStringLiteral("x-")); // digits only
        QCOMPARE(line->text(), QString());
        panel.f->editPort->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("0"));
        QCOMPARE(panel.f->session().readerOptions().facilityCode, 0);
    }

    // The colours follow every change of the text, the program's included.
    void editColoursFollowTheProgramsChanges()
    {
        Panel panel;
        QVERIFY(panel.start());
        FacilityCodeEdit *facility = panel.p->editFacility;
        facility->setFocus();
        panel.lineEdit(facility)->selectAll();
        pressKey(Qt::Key_Backspace);
        QVERIFY(isRed(facility));
        panel.f->editPort->setFocus(); // emptied: 0
        QCOMPARE(facility->text(), QStringLiteral("0"));
        QVERIFY(!isRed(facility));
        facility->setValue(70000);
        QVERIFY(isRed(facility));
        facility->setValue(65535);
        QVERIFY(!isRed(facility));

        RelayTimeEdit *relay = panel.p->editRelayTime;
        relay->setValue(30.0);
        QVERIFY(isRed(relay));
        relay->setFocus();
        panel.lineEdit(relay)->selectAll();
        pressKey(Qt::Key_Backspace);
        panel.f->editPort->setFocus(); // emptied: 0.0, still out of range
        QVERIFY(isRed(relay));
        relay->setValue(0.0); // the same number, no change signal
        QVERIFY(isRed(relay));
        relay->setValue(2.5);
        QVERIFY(!isRed(relay));
    }

    void doubleClicksReadTheImage()
    {
        Panel panel;
        QVERIFY(panel.start());
        FirmwareImage &image = panel.f->session().image();
        CustomerSlots codes{};
        codes[OptionSlots::CF] = 7;
        codes[OptionSlots::B] = 1234;
        QVERIFY(CustomerCodes::write(image.records, codes, true));
        QVERIFY(OptionWord::write(image.records, 0xAB, 0x19));
        QVERIFY(OptionWord::write(image.records, 0xA2, 0x01));

        QTest::mouseDClick(panel.p->grpCodes, Qt::LeftButton);
        QCOMPARE(panel.p->cellText(0), QStringLiteral("007"));
        QCOMPARE(panel.p->cellText(7), QStringLiteral("1234"));
        QTest::mouseDClick(panel.p->grpRelayTime, Qt::LeftButton);
        QCOMPARE(panel.p->editRelayTime->text(), QStringLiteral("2.5 sec"));
        QTest::mouseDClick(panel.p->grpFacility, Qt::LeftButton);
        QCOMPARE(panel.p->editFacility->text(), QStringLiteral("266"));
    }

    void saveWithoutCodesAnsweredNo()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.dialogs.answers = {Dialogs::Answer::No};
        panel.p->btnSave->click();
        QCOMPARE(panel.dialogs.texts(),
                 QStringList{QStringLiteral(
                     "No customer codes specified.\rAre you sure you want to save to file?")});
        QCOMPARE(panel.dialogs.shown.at(0).icon, Dialogs::Icon::Warning);
        QVERIFY(panel.dialogs.fileRequests.isEmpty());
        QTRY_VERIFY(focusInGrid(panel));
    }

    void saveWithoutCodesAnsweredYes()
    {
        Panel panel;
        QVERIFY(panel.start());
        panel.dialogs.answers = {Dialogs::Answer::Yes};
        panel.dialogs.fileNames = {panel.path("nocodes.hex")};
        panel.p->btnSave->click();
        QCOMPARE(panel.dialogs.fileRequests.size(), 1);
        QCOMPARE(panel.dialogs.fileRequests.at(0).fileName, QStringLiteral("fw_v3"));
        QVERIFY(QFile::exists(panel.path("nocodes.hex")));
    }

    void savePlainWritesTheOptions()
    {
        Panel panel;
        QVERIFY(panel.start(
            {QStringLiteral("cf=123"), QStringLiteral("df=4567"), QStringLiteral("gf=12")}));
        panel.p->editRelayTime->setValue(2.5);
        panel.p->editFacility->setValue(300);
        const QString target = panel.path("saved.hex");
        panel.dialogs.fileNames = {target};
        panel.p->btnSave->click();

        const Dialogs::FileRequest &request = panel.dialogs.fileRequests.at(0);
        QCOMPARE(request.fileName, QStringLiteral("fw_v3_CF123_DF4567_GF012"));
        QCOMPARE(request.title,
                 QStringLiteral("CORVANT Firmware Update Utility  -  Open hex file"));
        QCOMPARE(request.directory, panel.dir.path());
        QCOMPARE(panel.dialogs.texts(), QStringList{QStringLiteral("Saved ") + target});
        QCOMPARE(panel.dialogs.shown.at(0).icon, Dialogs::Icon::None);
        QTRY_VERIFY(showsFile(*panel.f, target)); // fitted again once the window has its size

        FirmwareImage saved;
        QString name = target;
        QVERIFY(loadImage(name, saved));
        CustomerSlots expected{};
        expected[OptionSlots::CF] = 123;
        expected[OptionSlots::DF] = 4567;
        expected[OptionSlots::GF] = 12;
        QCOMPARE(CustomerCodes::read(saved), std::optional<CustomerSlots>(expected));
        QCOMPARE(ReaderOptionsIo::readRelayTimeTenths(saved), std::optional<int>(25));
        QCOMPARE(ReaderOptionsIo::readFacilityCode(saved), std::optional<int>(300));
    }

    // After "Save encrypted" the image is held encrypted; a download sends
    // its deciphered lines with the panel's options written in.
    void downloadAfterSaveEncryptedSendsThePlainLines()
    {
        SimulatorServer reader({});
        const quint16 port = reader.listenTcp(0);
        Panel panel;
        QVERIFY(
            panel.start({QStringLiteral("cf=5"), QStringLiteral("port=127.0.0.1:%1").arg(port)}));
        panel.dialogs.fileNames = {panel.path("enc.hex")};
        panel.p->btnSaveAES->click();
        QVERIFY(panel.f->session().image().heldEncrypted);
        panel.p->editRelayTime->setValue(7.5);
        panel.f->btnDownloadClick();
        QTRY_VERIFY(
            panel.dialogs.texts().contains(QStringLiteral("Download successfully completed")));
        QVERIFY(!panel.f->session().image().heldEncrypted);
        const QMap<int, std::uint16_t> &words = reader.engine().memory().words();
        QCOMPARE(words.value(0xAB), std::uint16_t(0x3400 | 75));
        QCOMPARE(std::uint16_t((words.value(0xF1) & 0xFF) << 8 | (words.value(0xF2) & 0xFF)),
                 CodeWordTable::kEntries[5]);
    }

    void saveEncryptedThenPlain()
    {
        Panel panel;
        QVERIFY(panel.start({QStringLiteral("cf=5")}));
        panel.dialogs.fileNames = {panel.path("enc.hex"), panel.path("plain.hex")};
        panel.p->btnSaveAES->click();
        QVERIFY(panel.f->session().image().heldEncrypted);
        QVERIFY(TestFiles::read(panel.path("enc.hex")).contains("ENCRYPT"));

        panel.p->editFacility->setValue(77);
        panel.p->btnSave->click();
        QVERIFY(!panel.f->session().image().heldEncrypted);
        for (const char *file : {"enc.hex", "plain.hex"}) {
            FirmwareImage saved;
            QString name = panel.path(file);
            QVERIFY(loadImage(name, saved));
            QCOMPARE(CustomerCodes::read(saved).value_or(CustomerSlots{})[OptionSlots::CF], 5);
        }
        FirmwareImage plain;
        QString name = panel.path("plain.hex");
        QVERIFY(loadImage(name, plain));
        QCOMPARE(ReaderOptionsIo::readFacilityCode(plain), std::optional<int>(77));
        QVERIFY(!TestFiles::read(panel.path("plain.hex")).contains("ENCRYPT"));
    }

    // A version's dot is no extension: the file is written as .hex.
    void savedNameAlwaysEndsInHex()
    {
        Panel panel;
        QVERIFY(panel.start({QStringLiteral("cf=12"), QStringLiteral("gf=255")}));
        const QString chosen = panel.path("reader_v1.00_CF012_GF255");
        panel.dialogs.fileNames = {chosen};
        panel.p->btnSave->click();
        QCOMPARE(panel.dialogs.fileRequests.at(0).defaultSuffix, QStringLiteral("hex"));
        QVERIFY(!QFile::exists(chosen));
        QVERIFY(QFile::exists(chosen + QStringLiteral(".hex")));
        QCOMPARE(panel.dialogs.texts(),
                 QStringList{QStringLiteral("Saved ") + chosen + QStringLiteral(".hex")});
        QCOMPARE(panel.f->session().image().currentFileName, chosen + QStringLiteral(".hex"));
    }

    void unwritableTargetKeepsTheOldFile()
    {
        Panel panel;
        QVERIFY(panel.start({QStringLiteral("cf=5")}));
        const QString target = panel.path("locked.hex");
        QVERIFY(TestFiles::write(target, "old contents\r\n"));
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner));
        const QString current = panel.f->session().image().currentFileName;
        panel.dialogs.fileNames = {target};
        panel.p->btnSave->click();
        QCOMPARE(panel.dialogs.texts(),
                 QStringList{QStringLiteral("Unable to write to ") + target});
        QCOMPARE(panel.dialogs.shown.at(0).icon, Dialogs::Icon::Error);
        QCOMPARE(TestFiles::read(target), QByteArray("old contents\r\n"));
        // The next activation reloads the file that exists: the panel stays.
        QVERIFY(showsFile(*panel.f, current));
        panel.f->session().reload();
        QVERIFY(panel.f->btnDownload->isEnabled());
    }

    void saveOntoAFullDiskKeepsTheOldFile()
    {
        FULL_DISK_OR_SKIP(disk)
        Panel panel;
        QVERIFY(panel.start({QStringLiteral("cf=5")}));
        const QString target = disk.path(QStringLiteral("old.hex"));
        QVERIFY(TestFiles::write(target, "old contents\r\n"));
        QVERIFY(disk.fill());
        panel.dialogs.fileNames = {target};
        panel.p->btnSaveAES->click();
        QCOMPARE(panel.dialogs.texts(),
                 QStringList{QStringLiteral("Unable to write to ") + target});
        QCOMPARE(TestFiles::read(target), QByteArray("old contents\r\n"));
    }

    void cancelledSaveDialogChangesNothing()
    {
        Panel panel;
        QVERIFY(panel.start({QStringLiteral("cf=5")}));
        const RecordList before = panel.f->session().image().records;
        const QString file = panel.f->session().image().currentFileName;
        panel.p->btnSave->click();
        QCOMPARE(panel.dialogs.fileRequests.size(), 1);
        QVERIFY(panel.dialogs.shown.isEmpty());
        QVERIFY(panel.f->session().image().records == before);
        QCOMPARE(panel.f->session().image().currentFileName, file);
    }
};

QTEST_MAIN(TestPanelSettings)
#include "tst_panelsettings.moc"
