// The label server's parts without the bus: label files, filling, printing.
#include "labelprinter.h"
#include "labelservice.h"
#include "labeltemplate.h"
#include "pdftext.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/tools/label-server/quilmar.lbl");

// The example label printing to a PDF file next to it.
QString pdfLabel(const QTemporaryDir &dir, const QByteArray &output = "<corvant:output pdf=\"sticker.pdf\"/>")
{
    QByteArray text = TestFiles::read(kExample);
    text.replace("<corvant:output/>", output);
    const QString path = dir.filePath(QStringLiteral("label.lbl"));
    return TestFiles::write(path, text) ? path : QString();
}

} // namespace

class TestLabelTemplate : public QObject
{
    Q_OBJECT

private slots:
    void exampleLabel()
    {
        const std::optional<LabelTemplate> label = LabelTemplate::load(kExample);
        QVERIFY(label);
        QCOMPARE(label->variables(), (QStringList{QStringLiteral("firmware"), QStringLiteral("custcode")}));
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
        QTest::newRow("no size") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"><text>{{a}}</text></svg>");
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
        QCOMPARE(service.OpenLabel(dir.filePath(QStringLiteral("missing.lbl"))), int(LabelService::CannotRead));
        QCOMPARE(service.SetVariable(QStringLiteral("a"), QStringLiteral("b")), int(LabelService::NoLabel));
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
        QCOMPARE(service.SetVariable(QStringLiteral("firmware"), QStringLiteral("x_v1.2")), int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("custcode"), QStringLiteral("CF123 DF4567 GF12")),
                 int(LabelService::Ok));
        QCOMPARE(service.SetVariable(QStringLiteral("serial"), QStringLiteral("1")), int(LabelService::UnknownVariable));
        QCOMPARE(service.PrintLabel(copies), int(LabelService::Ok));

        const QString pdf = dir.filePath(QStringLiteral("sticker.pdf"));
        QCOMPARE(PdfText::pages(pdf), copies);
        const QString text = PdfText::text(pdf);
        QCOMPARE(text.count(QStringLiteral("x_v1.2")), copies);
        QCOMPARE(text.count(QStringLiteral("CF123 DF4567 GF12")), copies);
        QVERIFY(text.contains(QStringLiteral("QUILMAR")));
    }

    void noSuchPrinter()
    {
        QTemporaryDir dir;
        LabelService service;
        QCOMPARE(service.OpenLabel(pdfLabel(dir, "<corvant:output printer=\"no-such-printer-here\"/>")),
                 int(LabelService::Ok));
        QCOMPARE(service.PrintLabel(1), int(LabelPrinter::NoPrinter));
        QCOMPARE(service.PrintLabel(0), int(LabelService::BadQuantity));
    }
};

QTEST_MAIN(TestLabelTemplate)
#include "tst_labeltemplate.moc"
