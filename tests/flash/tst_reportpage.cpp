// The rollout page in a real browser: two runs at two sites (one reader
// failing), merged by corvant-flash report and loaded by headless Chromium
// with and without scripts; what it renders must show the totals and the
// failed reader first. The screenshot goes next to the page.
#include "reader-sim/simulatorserver.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <string_view>

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");

// corvant-flash with the event loop running (the readers answer from here).
int flash(const QStringList &arguments, const QString &configHome)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    process.setProcessEnvironment(environment);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(CORVANT_FLASH), arguments);
    if (!finished.wait(60000))
        return -1;
    return process.exitCode();
}

// The page as Chromium renders it: its DOM, or a screenshot.
QString rendered(const QString &page, const QString &profile, const QString &screenshot = {})
{
    QProcess chromium;
    chromium.start(QStringLiteral(CORVANT_CHROMIUM),
                   {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                    QStringLiteral("--disable-gpu"), QStringLiteral("--user-data-dir=") + profile,
                    QStringLiteral("--window-size=1100,760"),
                    screenshot.isEmpty() ? QStringLiteral("--dump-dom")
                                         : QStringLiteral("--screenshot=") + screenshot,
                    QStringLiteral("file://") + page});
    if (!chromium.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(chromium.readAllStandardOutput());
}

} // namespace

class TestReportPage : public QObject {
    Q_OBJECT

private slots:
    void mergedRunsInABrowser()
    {
        QTemporaryDir dir;
        const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
        SimulatorFaults silent;
        for (int message = 1; message <= 1000; ++message)
            silent.silent.insert(message);
        std::vector<std::unique_ptr<SimulatorServer>> readers;
        QStringList ports;
        for (int i = 0; i < 5; ++i) {
            SimulatorServer::Options options;
            if (i == 4)
                options.faults = silent;
            readers.push_back(std::make_unique<SimulatorServer>(options));
            ports << QStringLiteral("127.0.0.1:%1").arg(readers.back()->listenTcp(0));
        }
        QVERIFY(TestFiles::write(path("lyon.csv"),
                                 "port,name,site\n" + ports[0].toLatin1() + ",door 1,Lyon\n"
                                     + ports[1].toLatin1() + ",door 2,Lyon\n"));
        QVERIFY(TestFiles::write(path("porto.csv"),
                                 "port,name,site\n" + ports[2].toLatin1() + ",gate,Porto\n"
                                     + ports[3].toLatin1() + ",lift,Porto\n" + ports[4].toLatin1()
                                     + ",<b>garage</b>,Porto\n"));
        QCOMPARE(flash({QStringLiteral("--readers"), path("lyon.csv"), QStringLiteral("--report"),
                        path("lyon.json"), kExample},
                       dir.path()),
                 0);
        QCOMPARE(
            flash({QStringLiteral("--readers"), path("porto.csv"), QStringLiteral("--retries"),
                   QStringLiteral("0"), QStringLiteral("--reply-timeout"), QStringLiteral("0.3"),
                   QStringLiteral("--report"), path("porto.json"), kExample},
                  dir.path()),
            3);
        QCOMPARE(flash({QStringLiteral("report"), path("lyon.json"), path("porto.json"),
                        QStringLiteral("--merge"), path("all.json"), QStringLiteral("--html"),
                        path("all.html")},
                       dir.path()),
                 0);
        const QJsonArray runs = QJsonDocument::fromJson(TestFiles::read(path("all.json")))
                                    .object()
                                    .value(QLatin1String("runs"))
                                    .toArray();
        QCOMPARE(runs.size(), 2); // each run kept whole
        QVERIFY(runs[0].toObject().value(QLatin1String("runId"))
                != runs[1].toObject().value(QLatin1String("runId")));

        // Without scripts (Chromium dumps no DOM with scripts off): the page
        // without its script element.
        QByteArray page = TestFiles::read(path("all.html"));
        page.remove(page.indexOf("<script>"),
                    page.indexOf("</script>") + 9 - page.indexOf("<script>"));
        QVERIFY(TestFiles::write(path("static.html"), page));
        for (const char *name : {"all.html", "static.html"}) {
            const bool scripts = name == std::string_view("all.html");
            const QString dom = rendered(path(name), path("profile"));
            QVERIFY2(dom.contains(QLatin1String("<tr class=\"total\"><td>All sites</td><td>5</td>"
                                                "<td>4</td><td>1</td><td>0</td></tr>")),
                     qPrintable(dom.left(2000)));
            // The failed reader is the first row, its name shown as text.
            const QRegularExpression firstRow(
                QStringLiteral("<tbody><tr class=\"reader failed\" data-outcome=\"Abandoned\""
                               "[^>]*><td>Porto</td><td>&lt;b&gt;garage&lt;/b&gt;</td><td>%1</td>")
                    .arg(QRegularExpression::escape(ports[4])));
            QVERIFY2(firstRow.match(dom).hasMatch(), qPrintable(dom.left(3000)));
            QCOMPARE(dom.contains(QLatin1String("<body class=\"scripted\">")), scripts);
        }
        rendered(path("all.html"), path("profile"), path("all.png"));
        QVERIFY(TestFiles::read(path("all.png")).startsWith("\x89PNG"));
    }
};

QTEST_GUILESS_MAIN(TestReportPage)
#include "tst_reportpage.moc"
