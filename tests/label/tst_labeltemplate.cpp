// The label server's parts without the bus: label files, filling, printing.
#include "fulldisk.h"
#include "label-server/labeldrawing.h"
#include "label-server/labelprinter.h"
#include "label-server/labelservice.h"
#include "label-server/labeltemplate.h"
#include "pdftext.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/tools/label-server/quilmar.lbl");

// The example label printing to a PDF file next to it.
QString pdfLabel(const QTemporaryDir &dir,
                 const QByteArray &output = "<corvant:output pdf=\"sticker.pdf\"/>")
{
    QByteArray text = TestFiles::read(kExample);
    text.replace("<corvant:output/>", output);
    const QString path = dir.filePath(QStringLiteral("label.lbl"));
    return TestFiles::write(path, text) ? path : QString();
}

} // namespace

class TestLabelTemplate : public QObject {
    Q_OBJECT

private slots:
    void exampleLabel()
    {
        const std::optional<LabelTemplate> label = LabelTemplate::load(kExample);
        QVERIFY(label);
        QCOMPARE(label->variables(),
                 (QStringList{QStringLiteral("firmware"), QStringLiteral("custcode")}));
        QCOMPARE(label->sizeMillimetres(), QSizeF(62, 29));
        QCOMPARE(label->pdfFile(), QString());
        QCOMPARE(label->printerName(), QString());
    }

    void variablesAreFilledEscaped()
    {
        std::optional<LabelTemplate> label = LabelTemplate::load(kExample);
        QVERIFY(label);
        QVERIFY(label->setVariable(QStringLiteral("FIRMWARE"), QStringLiteral("a<b&c")));
        QVERIFY(!label->setVariable(QStringLiteral("serial"), QStringLiteral("x")));
        const QByteArray filled = label->filledSvg();
        QVERIFY(filled.contains(">a&lt;b&amp;c</text>"));
        QVERIFY(!filled.contains("{{"));
    }

    void filesThatAreNoLabel_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no SVG") << QByteArray("hello {{firmware}}");
        QTest::newRow("no size") << QByteArray(
            "<svg xmlns=\"http://www.w3.org/2000/svg\"><text>{{a}}</text></svg>");
        // An entity could make an image element no check sees.
        QTest::newRow("document type declaration")
            << QByteArray("<!DOCTYPE svg [<!ENTITY i \"&#60;image href='/etc/x.png'/>\">]>"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10mm\" "
                          "height=\"10mm\">&i;</svg>");
    }
    void filesThatAreNoLabel()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.lbl"));
        QVERIFY(TestFiles::write(path, content));
        QVERIFY(!LabelTemplate::load(path));
        LabelService service;
        QCOMPARE(service.OpenLabel(path), int(LabelService::NotALabel));
        QCOMPARE(service.OpenLabel(dir.filePath(QStringLiteral("missing.lbl"))),
                 int(LabelService::CannotRead));
        QCOMPARE(service.SetVariable(QStringLiteral("a"), QStringLiteral("b")),
                 int(LabelService::NoLabel));
        QCOMPARE(service.PrintLabel(1), int(LabelService::NoLabel));
    }

    void printsToThePdfFileTheLabelNames_data()
    {
        QTest::addColumn<int>("copies");
        QTest::newRow("one") << 1;
        QTest::newRow("three") << 3;
    }
    void printsToThePdfFileTheLabelNames()
    {
        QFETCH(int, copies);
        QTemporaryDir dir;
        LabelService service;
        QCOMPARE(service.OpenLabel(pdfLabel(dir)), int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("firmware"), QStringLiteral("x_v1.2")),
                 int(LabelService::Ok));
        QCOMPARE(
            service.SetVariable(QStringLiteral("custcode"), QStringLiteral("CF123 DF4567 GF12")),
            int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("serial"), QStringLiteral("1")),
                 int(LabelService::UnknownVariable));
        QCOMPARE(service.PrintLabel(copies), int(LabelService::Ok));

        const QString pdf = dir.filePath(QStringLiteral("sticker.pdf"));
        QCOMPARE(PdfText::pages(pdf), copies);
        const QString text = PdfText::text(pdf);
        QCOMPARE(text.count(QStringLiteral("x_v1.2")), copies);
        QCOMPARE(text.count(QStringLiteral("CF123 DF4567 GF12")), copies);
        QVERIFY(text.contains(QStringLiteral("QUILMAR")));
    }

    void valuesThatCouldBreakTheDrawing_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("codes");
        QTest::newRow("double hyphen (the label's comment names the placeholder)")
            << QStringLiteral("reader--v2") << QStringLiteral("CF1");
        QTest::newRow("XML specials") << QStringLiteral("a<b&c\"d'e>") << QStringLiteral("DF2");
        QTest::newRow("non-ASCII before a later text")
            << QStringLiteral("lecteur_été_ü") << QStringLiteral("GF3");
        QTest::newRow("control characters dropped")
            << QStringLiteral("x\x01y") << QStringLiteral("A4");
    }
    void valuesThatCouldBreakTheDrawing()
    {
        QFETCH(QString, firmware);
        QFETCH(QString, codes);
        QTemporaryDir dir;
        LabelService service;
        QCOMPARE(service.OpenLabel(pdfLabel(dir)), int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("firmware"), firmware), int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("custcode"), codes), int(LabelService::Ok));
        QCOMPARE(service.PrintLabel(1), int(LabelService::Ok));
        const QString text = PdfText::text(dir.filePath(QStringLiteral("sticker.pdf")));
        QVERIFY2(text.contains(firmware.remove(QChar(1))), qPrintable(text));
        QVERIFY(text.contains(codes));
    }

    void whichTextsAreDrawnAsText_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("plain") << QByteArray("<text x=\"10\" y=\"20\">A</text>")
                               << QStringList{QStringLiteral("A")};
        QTest::newRow("in a plain group")
            << QByteArray("<g id=\"g\"><text x=\"1\" y=\"2\">B</text></g>")
            << QStringList{QStringLiteral("B")};
        QTest::newRow("in a transformed group")
            << QByteArray("<g transform=\"rotate(90)\"><text x=\"1\" y=\"2\">C</text></g>")
            << QStringList{};
        QTest::newRow("in defs") << QByteArray("<defs><text x=\"1\" y=\"2\">D</text></defs>")
                                 << QStringList{};
        QTest::newRow("with a tspan")
            << QByteArray("<text x=\"1\" y=\"2\">E<tspan>F</tspan></text>") << QStringList{};
        QTest::newRow("millimetres")
            << QByteArray("<text x=\"1mm\" y=\"2\">G</text>") << QStringList{};
        QTest::newRow("pixels") << QByteArray("<text x=\"1px\" y=\"2\" font-size=\"12px\">H</text>")
                                << QStringList{QStringLiteral("H")};
        QTest::newRow("white space collapsed")
            << QByteArray("<text x=\"1\" y=\"2\">\n   I   J\t</text>")
            << QStringList{QStringLiteral("I J")};
        QTest::newRow("a later one after a skipped one") << QByteArray(
            "<text x=\"1\" y=\"2\" style=\"x\">K</text><text x=\"1\" y=\"2\">L</text>")
                                                         << QStringList{QStringLiteral("L")};
    }
    void whichTextsAreDrawnAsText()
    {
        QFETCH(QByteArray, body);
        const LabelDrawing drawing(
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10mm\" height=\"10mm\" "
            "viewBox=\"0 0 100 100\">"
            + body + "</svg>");
        QVERIFY(drawing.isValid());
        QStringList texts;
        for (const LabelDrawing::Text &text : drawing.texts())
            texts << text.content;
        QTEST(texts, "texts");
    }

    // A label decides where its PDF goes, but only inside its own folder and
    // only over a PDF file: never over another file, a device or a FIFO.
    void pdfTargetsThatAreRefused_data()
    {
        QTest::addColumn<QByteArray>("pdf");
        QTest::addColumn<QString>("present"); // what is there before: "text", "pdf", "fifo", "link"
        QTest::addColumn<int>("openStatus");
        QTest::addColumn<int>("printStatus");
        QTest::newRow("an existing text file")
            << QByteArray("victim.txt") << QStringLiteral("text") << int(LabelService::Ok)
            << int(LabelPrinter::PrintFailed);
        QTest::newRow("a FIFO") << QByteArray("fifo.pdf") << QStringLiteral("fifo")
                                << int(LabelService::Ok) << int(LabelPrinter::PrintFailed);
        QTest::newRow("a link to a file elsewhere")
            << QByteArray("link.pdf") << QStringLiteral("link") << int(LabelService::Ok)
            << int(LabelPrinter::PrintFailed);
        QTest::newRow("up out of the folder")
            << QByteArray("../out.pdf") << QString() << int(LabelService::NotALabel)
            << int(LabelService::NoLabel);
        QTest::newRow("an absolute path")
            << QByteArray("/tmp/corvant-absolute.pdf") << QString() << int(LabelService::NotALabel)
            << int(LabelService::NoLabel);
        // The folder check is on real paths: a linked subfolder leads out,
        // also when the link is made after the label was opened.
        QTest::newRow("through a linked subfolder")
            << QByteArray("escape/out.pdf") << QStringLiteral("linked folder")
            << int(LabelService::NotALabel) << int(LabelService::NoLabel);
        QTest::newRow("subfolder linked after opening")
            << QByteArray("escape/out.pdf") << QStringLiteral("folder linked later")
            << int(LabelService::Ok) << int(LabelPrinter::PrintFailed);
        QTest::newRow("an older sticker is replaced")
            << QByteArray("old.pdf") << QStringLiteral("pdf") << int(LabelService::Ok)
            << int(LabelService::Ok);
    }
    void pdfTargetsThatAreRefused()
    {
        QFETCH(QByteArray, pdf);
        QFETCH(QString, present);
        QFETCH(int, openStatus);
        QFETCH(int, printStatus);
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        const QString target = QDir::cleanPath(dir.filePath(QString::fromUtf8(pdf)));
        const QByteArray before
            = present == QLatin1String("pdf") ? QByteArray("%PDF-1.4 old") : QByteArray("precious");
        if (present == QLatin1String("text") || present == QLatin1String("pdf"))
            QVERIFY(TestFiles::write(target, before));
        else if (present == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        else if (present == QLatin1String("link")) {
            QVERIFY(TestFiles::write(elsewhere.filePath(QStringLiteral("x.pdf")), before));
            QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("x.pdf")), target));
        }
        const QString escape = dir.filePath(QStringLiteral("escape"));
        if (present == QLatin1String("linked folder"))
            QVERIFY(QFile::link(elsewhere.path(), escape));
        else if (present == QLatin1String("folder linked later"))
            QVERIFY(QDir().mkdir(escape));

        LabelService service;
        QCOMPARE(service.OpenLabel(pdfLabel(dir, "<corvant:output pdf=\"" + pdf + "\"/>")),
                 openStatus);
        if (present == QLatin1String("folder linked later"))
            QVERIFY(QDir(escape).removeRecursively() && QFile::link(elsewhere.path(), escape));
        QCOMPARE(service.PrintLabel(1), printStatus);
        if (printStatus == LabelService::Ok) {
            QCOMPARE(PdfText::pages(target), 1);
        } else if (present == QLatin1String("link")) {
            QCOMPARE(TestFiles::read(elsewhere.filePath(QStringLiteral("x.pdf"))), before);
        } else if (present == QLatin1String("text")) {
            QCOMPARE(TestFiles::read(target), before);
        } else if (present == QLatin1String("fifo")) {
            QVERIFY(!QFileInfo(target).isFile());
        } else if (present.contains(QLatin1String("folder"))) {
            QVERIFY(QDir(elsewhere.path()).isEmpty());
        } else {
            QVERIFY(!QFileInfo::exists(target));
        }
    }

    void fullDiskLeavesNoSticker()
    {
        FULL_DISK_OR_SKIP(disk)
        const QString label = disk.path(QStringLiteral("label.lbl"));
        QByteArray text = TestFiles::read(kExample);
        text.replace("<corvant:output/>", "<corvant:output pdf=\"sticker.pdf\"/>");
        QVERIFY(TestFiles::write(label, text));
        QVERIFY(disk.fill());
        LabelService service;
        QCOMPARE(service.OpenLabel(label), int(LabelService::Ok));
        QCOMPARE(service.PrintLabel(2), int(LabelPrinter::PrintFailed));
        QVERIFY(!QFileInfo::exists(disk.path(QStringLiteral("sticker.pdf"))));
    }

    // One call must not hang or exhaust the server: what no sticker needs
    // is refused at once, and the next call is answered.
    void limitsOfOneCall()
    {
        QTemporaryDir dir;
        LabelService service;
        const QString fifo = dir.filePath(QStringLiteral("fifo.lbl"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(service.OpenLabel(fifo), int(LabelService::CannotRead));
        QCOMPARE(service.OpenLabel(QStringLiteral("/dev/zero")), int(LabelService::CannotRead));
        const QString huge = dir.filePath(QStringLiteral("huge.lbl"));
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly)
                && file.resize(LabelTemplate::kMaximumFileSize + 1));
        file.close();
        QCOMPARE(service.OpenLabel(huge), int(LabelService::LabelTooLarge));

        QCOMPARE(service.OpenLabel(pdfLabel(dir)), int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("firmware"), QString(4097, QLatin1Char('x'))),
                 int(LabelService::ValueTooLong));
        QCOMPARE(service.SetVariable(QStringLiteral("firmware"), QString(4096, QLatin1Char('x'))),
                 int(LabelService::Ok));
        QCOMPARE(service.PrintLabel(1001), int(LabelService::TooManyCopies));
        QCOMPARE(service.PrintLabel(2147483647), int(LabelService::TooManyCopies));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("sticker.pdf"))));

        // The two limits multiply: 5,000 placeholders of 4,096 characters
        // would fill 20 MB. Refused before the drawing is made.
        QByteArray many = TestFiles::read(kExample);
        many.replace("<corvant:output/>", "<corvant:output pdf=\"many.pdf\"/>");
        many.replace("{{firmware}}", QByteArray("{{firmware}}").repeated(5000));
        const QString manyLabel = dir.filePath(QStringLiteral("many.lbl"));
        QVERIFY(TestFiles::write(manyLabel, many));
        QCOMPARE(service.OpenLabel(manyLabel), int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("firmware"), QString(4096, QLatin1Char('x'))),
                 int(LabelService::Ok));
        QCOMPARE(service.PrintLabel(1), int(LabelService::DrawingTooLarge));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("many.pdf"))));
    }

    // Images come only from the label's folder (real paths), by whatever
    // name: absolute, through a link, entity-encoded, or filled in from a
    // value; data: URIs stay. Others are left out and named.
    void imagesOnlyFromTheLabelsFolder_data()
    {
        QTest::addColumn<QString>("href"); // @IN@: the folder's picture, @OUT@: one elsewhere
        QTest::addColumn<bool>("kept");
        QTest::newRow("relative, inside") << QStringLiteral("logo.png") << true;
        QTest::newRow("absolute, inside") << QStringLiteral("@IN@") << true;
        QTest::newRow("absolute, elsewhere") << QStringLiteral("@OUT@") << false;
        QTest::newRow("file URL elsewhere") << QStringLiteral("file://@OUT@") << false;
        QTest::newRow("up and out") << QStringLiteral("../@OUTNAME@") << false;
        QTest::newRow("a link inside to elsewhere") << QStringLiteral("link.png") << false;
        QTest::newRow("entity-encoded") << QStringLiteral("&#47;@OUTREST@") << false;
        QTest::newRow("a '>' in an earlier attribute")
            << QStringLiteral("@OUT@\" data-x=\">") << false;
        QTest::newRow("filled in from a value") << QStringLiteral("{{firmware}}") << false;
        QTest::newRow("data URI") << QStringLiteral("data:image/png;base64,iVBORw0KGgo=") << true;
    }
    void imagesOnlyFromTheLabelsFolder()
    {
        QFETCH(QString, href);
        QFETCH(bool, kept);
        QTemporaryDir base;
        const QString dir = base.filePath(QStringLiteral("label"));
        QVERIFY(QDir().mkdir(dir));
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString in = dir + QStringLiteral("/logo.png");
        const QString out = base.filePath(QStringLiteral("secret.png"));
        QVERIFY(picture.save(in) && picture.save(out));
        QVERIFY(QFile::link(out, dir + QStringLiteral("/link.png")));
        href.replace(QLatin1String("@OUTREST@"), out.mid(1))
            .replace(QLatin1String("@OUTNAME@"), QFileInfo(out).fileName())
            .replace(QLatin1String("@OUT@"), out)
            .replace(QLatin1String("@IN@"), in);
        QByteArray text = TestFiles::read(kExample);
        const QByteArray image = "<image xmlns:xlink=\"http://www.w3.org/1999/xlink\" x=\"0\" "
                                 "y=\"0\" width=\"4\" height=\"4\" xlink:href=\""
            + href.toUtf8() + "\"/></svg>";
        text.replace("</svg>", image);
        const QString file = dir + QStringLiteral("/label.lbl");
        QVERIFY(TestFiles::write(file, text));
        std::optional<LabelTemplate> label = LabelTemplate::load(file);
        QVERIFY(label);
        label->setVariable(QStringLiteral("firmware"), out);
        QStringList leftOut;
        const QByteArray filled = label->filledSvg(&leftOut);
        QCOMPARE(leftOut.isEmpty(), kept);
        QCOMPARE(filled.contains("xlink:href=\"\""), !kept);
        if (kept && !href.startsWith(QLatin1String("data:")))
            QVERIFY(filled.contains(
                QByteArray("xlink:href=\"" + QFileInfo(in).canonicalFilePath().toUtf8())));
        QVERIFY(LabelDrawing(filled).isValid());
    }

    void noSuchPrinter()
    {
        QTemporaryDir dir;
        LabelService service;
        QCOMPARE(
            service.OpenLabel(pdfLabel(dir, "<corvant:output printer=\"no-such-printer-here\"/>")),
            int(LabelService::Ok));
        QCOMPARE(service.PrintLabel(1), int(LabelPrinter::NoPrinter));
        QCOMPARE(service.PrintLabel(0), int(LabelService::BadQuantity));
    }
};

QTEST_MAIN(TestLabelTemplate)
#include "tst_labeltemplate.moc"
