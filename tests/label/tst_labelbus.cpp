// The label server on a private session bus (the test runs under
// dbus-run-session with a bus that can start the server from the build tree).
#include "app/optionedits.h"
#include "app/panelsettings.h"
#include "label/dbuslabelserver.h"
#include "pdftext.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/tools/label-server/quilmar.lbl");

QString pdfLabel(const QTemporaryDir &dir)
{
    QByteArray text = TestFiles::read(kExample);
    text.replace("<corvant:output/>", "<corvant:output pdf=\"sticker.pdf\"/>");
    const QString path = dir.filePath(QStringLiteral("quilmar.lbl"));
    return TestFiles::write(path, text) ? path : QString();
}

bool serverRunning()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QString::fromLatin1(DBusLabelServer::kService));
}

} // namespace

class TestLabelBus : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        // Each test starts with no server running: the first call starts one.
        QTRY_VERIFY_WITH_TIMEOUT(!serverRunning(), 10000);
    }

    void clientStartsTheServerAndPrints()
    {
        QTemporaryDir dir;
        DBusLabelServer server;
        QCOMPARE(server.StartDesigner(), 0);
        QVERIFY(serverRunning());
        // A second one says why it does not serve, and ends.
        QProcess second;
        second.start(QStringLiteral(CORVANT_LABEL_SERVER), QStringList());
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(
            second.readAllStandardError().contains("org.corvant.LabelServer is already served"));
        QVERIFY(server.OpenLabel(dir.filePath(QStringLiteral("missing.lbl"))) != 0);
        QCOMPARE(server.OpenLabel(pdfLabel(dir)), 0);
        QVERIFY(server.SetVariable(QStringLiteral("serial"), QStringLiteral("1")) != 0);
        QCOMPARE(server.SetVariable(QStringLiteral("firmware"), QStringLiteral("reader_v1.00")), 0);
        QCOMPARE(server.SetVariable(QStringLiteral("custcode"), QStringLiteral("CF7 GF12")), 0);
        QCOMPARE(server.PrintLabel(2), 0);
        const QString pdf = dir.filePath(QStringLiteral("sticker.pdf"));
        QCOMPARE(PdfText::pages(pdf), 2);
        QCOMPARE(PdfText::text(pdf).count(QStringLiteral("reader_v1.00")), 2);
        QCOMPARE(server.QuitDesigner(), 0);
        QTRY_VERIFY(!serverRunning());
    }

    // A call with a value of 64 MB, or a quantity of two thousand million,
    // is refused, and the next call is answered at once: by the same server,
    // or for a message larger than any label needs by one the bus starts.
    void hostileCallsLeaveTheServerAnswering()
    {
        QTemporaryDir dir;
        DBusLabelServer server;
        QCOMPARE(server.StartDesigner(), 0);
        QCOMPARE(server.OpenLabel(pdfLabel(dir)), 0);
        QCOMPARE(server.PrintLabel(2147483647), 10);
        QCOMPARE(server.SetVariable(QStringLiteral("firmware"), QString(4097, QLatin1Char('x'))),
                 9);
        QVERIFY_THROWS_EXCEPTION(LabelServerError,
                                 server.SetVariable(QStringLiteral("firmware"),
                                                    QString(64 * 1024 * 1024, QLatin1Char('x'))));
        QElapsedTimer call;
        call.start();
        QCOMPARE(server.StartDesigner(), 0);
        QCOMPARE(server.OpenLabel(pdfLabel(dir)), 0);
        QCOMPARE(server.SetVariable(QStringLiteral("firmware"), QStringLiteral("reader_v1.00")), 0);
        QVERIFY2(call.elapsed() < 10000, "the calls after it waited");
        QCOMPARE(server.QuitDesigner(), 0);
        QTRY_VERIFY(!serverRunning());
    }

    void stickerFromTheWindow()
    {
        Window w;
        QVERIFY(TestFiles::write(w.path("reader_v2.10.hex"), firmware(true, true, true, false)));
        const QString label = pdfLabel(w.dir);
        QVERIFY(TestFiles::write(w.settingsPath(),
                                 "[nicelabel]\r\nfilename=" + label.toUtf8() + "\r\n"));
        DBusLabelServer server;
        w.otherLabelServer = &server;
        w.open({QStringLiteral("cf=123"), QStringLiteral("df=4567"), QStringLiteral("gf=12"),
                w.path("reader_v2.10.hex")});
        TFormMain &form = *w.form;
        QTRY_VERIFY(!form.panelSettings->PanelNice->isHidden()); // once the server answered

        form.btnNicePrintClick();
        QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.texts().join(QLatin1Char('\n'))));
        const QString text = PdfText::text(w.dir.filePath(QStringLiteral("sticker.pdf")));
        QVERIFY2(text.contains(QStringLiteral("reader_v2.10")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("CF123 DF4567 GF12")));

        QVERIFY(form.close()); // QuitDesigner ends the server
        QTRY_VERIFY(!serverRunning());
    }

    // A long print holds up nobody: another client's calls are answered at
    // once while it runs, and each client prints its own label with its
    // own values; prints run one after the other.
    void onePrintHoldsUpNobody()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QDBusConnection busA
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("a"));
        QDBusConnection busB
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("b"));
        const auto call = [](const char *method, const QVariantList &arguments) {
            QDBusMessage request = QDBusMessage::createMethodCall(
                QString::fromLatin1(DBusLabelServer::kService), QStringLiteral("/LabelServer"),
                QStringLiteral("org.corvant.LabelServer"), QLatin1String(method));
            request.setArguments(arguments);
            return request;
        };
        const auto status = [](const QDBusMessage &reply) {
            return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toInt()
                                                              : -1;
        };
        QCOMPARE(status(busA.call(call("OpenLabel", {pdfLabel(first)}))), 0);
        QCOMPARE(status(busA.call(
                     call("SetVariable", {QStringLiteral("firmware"), QStringLiteral("first")}))),
                 0);
        QCOMPARE(status(busB.call(call("OpenLabel", {pdfLabel(second)}))), 0);
        constexpr int kCopies = 400;
        QDBusPendingCall printing = busA.asyncCall(call("PrintLabel", {kCopies}), 5 * 60 * 1000);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(status(busB.call(
                     call("SetVariable", {QStringLiteral("firmware"), QStringLiteral("second")}))),
                 0);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(!printing.isFinished(), "the print ended too soon to show anything");
        QCOMPARE(status(busB.call(call("PrintLabel", {1}), QDBus::Block, 5 * 60 * 1000)), 0);
        printing.waitForFinished();
        QCOMPARE(status(printing.reply()), 0);

        const QString pdfA = first.filePath(QStringLiteral("sticker.pdf"));
        const QString pdfB = second.filePath(QStringLiteral("sticker.pdf"));
        QCOMPARE(PdfText::pages(pdfA), kCopies);
        QCOMPARE(PdfText::pages(pdfB), 1);
        // One job at a time, in order: B's sticker came after A's was done.
        QVERIFY(QFileInfo(pdfA).lastModified() <= QFileInfo(pdfB).lastModified());
        QVERIFY(PdfText::text(pdfA).contains(QStringLiteral("first")));
        QVERIFY(!PdfText::text(pdfA).contains(QStringLiteral("second")));
        QVERIFY(PdfText::text(pdfB).contains(QStringLiteral("second")));
        busA.call(call("QuitDesigner", {}));
        QTRY_VERIFY(!serverRunning());
    }

    // The bus starts a server that never registers its name: the window is
    // up at once, without sticker buttons, and stays usable; the start-up
    // call fails once the bus gives up.
    void hangingServerHoldsNothingUp()
    {
        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(true, true, true, false)));
        DBusLabelServer hanging({}, std::chrono::seconds(5),
                                QStringLiteral("org.corvant.LabelServerHanging"));
        w.otherLabelServer = &hanging;
        bool answered = false;
        bool available = true;
        hanging.startDesignerAsync(&hanging, [&](bool ok) {
            answered = true;
            available = ok;
        });
        QVERIFY2(!answered, "the call returned before the server did");

        // The bus gives up on the server after 5 s; the window is there long
        // before.
        QElapsedTimer opening;
        opening.start();
        w.open({QStringLiteral("cf=1"), w.path("fw.hex")});
        QVERIFY2(opening.elapsed() < 3000, "the window waited for the label server");
        TFormMain &form = *w.form;
        QVERIFY(form.panelSettings->PanelNice->isHidden());
        QVERIFY(!form.panelSettings->PanelSave->isHidden());
        QVERIFY(form.btnDownload->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(answered, 20000); // the bus's activation time-out
        QVERIFY(!available);
        QTest::qWait(100);
        QVERIFY(form.panelSettings->PanelNice->isHidden());
        QVERIFY(form.close()); // no closing call to a server that never answered
    }
};

QTEST_MAIN(TestLabelBus)
#include "tst_labelbus.moc"
