// The window's real message boxes and dialogs, answered by key presses and
// clicks from a timer while their own event loop runs.
#include "app/guidialogs.h"
#include "session/appinfo.h"
#include "testfiles.h"
#include "whenshown.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <functional>

namespace {

QPushButton *button(QMessageBox *box, const QString &text)
{
    for (QAbstractButton *b : box->buttons()) {
        if (b->text().remove(QLatin1Char('&')) == text)
            return qobject_cast<QPushButton *>(b);
    }
    return nullptr;
}

} // namespace

class TestGuiDialogs : public QObject {
    Q_OBJECT

private slots:
    void abortIsLeftOfRetry_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::newRow("Enter takes the default")
            << QStringLiteral("enter") << Dialogs::Answer::Retry;
        QTest::newRow("Escape aborts") << QStringLiteral("escape") << Dialogs::Answer::Abort;
        QTest::newRow("click on Abort") << QStringLiteral("abort") << Dialogs::Answer::Abort;
    }
    void abortIsLeftOfRetry()
    {
        QFETCH(QString, how);
        GuiDialogs dialogs;
        int abortX = -1;
        int retryX = -1;
        bool retryIsDefault = false;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            QPushButton *abort = button(box, QStringLiteral("Abort"));
            QPushButton *retry = button(box, QStringLiteral("Retry"));
            if (!abort || !retry)
                return box->reject();
            abortX = abort->mapTo(box, QPoint()).x();
            retryX = retry->mapTo(box, QPoint()).x();
            retryIsDefault = box->defaultButton() == retry;
            if (how == QLatin1String("enter"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (how == QLatin1String("escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                abort->click();
        });
        QTEST(dialogs.message(Dialogs::Icon::Error, QStringLiteral("Communication timeout"),
                              Dialogs::Buttons::AbortRetry),
              "answer");
        QVERIFY(abortX >= 0);
        QVERIFY2(abortX < retryX, "Abort comes first");
        QVERIFY(retryIsDefault);
    }

    void captions_data()
    {
        QTest::addColumn<Dialogs::Icon>("icon");
        QTest::addColumn<QString>("caption");
        QTest::newRow("no icon: the application title (\"Saved %s\")")
            << Dialogs::Icon::None << QString::fromLatin1(kApplicationTitle);
        QTest::newRow("information") << Dialogs::Icon::Information << QStringLiteral("Information");
        QTest::newRow("warning") << Dialogs::Icon::Warning << QStringLiteral("Warning");
        QTest::newRow("error") << Dialogs::Icon::Error << QStringLiteral("Error");
    }
    void captions()
    {
        QFETCH(Dialogs::Icon, icon);
        GuiDialogs dialogs;
        QString caption;
        whenShown<QMessageBox>([&caption](QMessageBox *box) {
            caption = box->windowTitle();
            box->accept();
        });
        dialogs.message(icon, QStringLiteral("Saved /tmp/x.hex"), Dialogs::Buttons::Ok);
        QTEST(caption, "caption");
    }

    // A download that ended takes its open question away: no button left
    // that would act on nothing.
    void closeMessagesTakesTheOpenBoxAway()
    {
        GuiDialogs dialogs;
        bool hidden = false;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            dialogs.closeMessages();
            hidden = !box->isVisible(); // at once, before the nested loop ends
        });
        QCOMPARE(dialogs.message(Dialogs::Icon::Warning,
                                 QStringLiteral("Are you sure to abort the download?"),
                                 Dialogs::Buttons::YesNo),
                 Dialogs::Answer::Closed);
        QVERIFY(hidden);
    }

    // The usage box never breaks a bracket pair over two lines, whatever
    // the program's path makes its width.
    void usageKeepsEachBracketPairOnOneLine()
    {
        GuiDialogs dialogs;
        for (int length = 10; length <= 80; length += 5) {
            const QString usage
                = QStringLiteral(
                      "Usage: /%1 [ port=COMn ] [ mode=AUTO ] [ mode=ALL ] [ filename.hex ]")
                      .arg(QString(length, QLatin1Char('p')));
            QStringList lines;
            whenShown<QMessageBox>([&lines](QMessageBox *box) {
                const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
                QTextLayout layout(label->text(), label->font());
                layout.setTextOption(QTextOption(Qt::AlignLeft));
                layout.beginLayout();
                for (QTextLine line = layout.createLine(); line.isValid();
                     line = layout.createLine()) {
                    line.setLineWidth(label->contentsRect().width());
                    lines << label->text().mid(line.textStart(), line.textLength());
                }
                layout.endLayout();
                box->accept();
            });
            dialogs.message(Dialogs::Icon::Information, usage, Dialogs::Buttons::Ok);
            QVERIFY(!lines.isEmpty());
            for (const QString &line : std::as_const(lines))
                QVERIFY2(line.count(QLatin1Char('[')) == line.count(QLatin1Char(']')),
                         qPrintable(lines.join(QLatin1Char('|'))));
        }
    }

    // The command line's boxes come before the window is on the screen.
    void boxBeforeTheWindowIsShownIsCentred()
    {
        QWidget window;
        window.resize(345, 560);
        GuiDialogs dialogs(&window);
        QPoint centre;
        whenShown<QMessageBox>([&centre](QMessageBox *box) {
            centre = box->frameGeometry().center();
            box->accept();
        });
        dialogs.message(Dialogs::Icon::Error, QStringLiteral("Error: invalid CF customer code"),
                        Dialogs::Buttons::Ok);
        const QPoint screen = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY2(
            (centre - screen).manhattanLength() <= 4,
            qPrintable(QStringLiteral("box centred at %1,%2").arg(centre.x()).arg(centre.y())));
    }

    void inputBoxShowsItsWholeTitle()
    {
        GuiDialogs dialogs;
        const QString title
            = QString::fromLatin1(kApplicationTitle) + QStringLiteral("  -  Select variable name");
        int width = 0;
        int titleWidth = 0;
        whenShown<QInputDialog>([&](QInputDialog *box) {
            width = box->width();
            titleWidth = box->fontMetrics().horizontalAdvance(title);
            box->setTextValue(QStringLiteral("fw"));
            box->accept();
        });
        QCOMPARE(dialogs.inputText(
                     title, QStringLiteral("First variable name (used for firmware version)"),
                     QStringLiteral("firmware")),
                 std::optional<QString>(QStringLiteral("fw")));
        QVERIFY2(width >= titleWidth + 100,
                 qPrintable(QStringLiteral("%1 for a title of %2").arg(width).arg(titleWidth)));
    }

    void saveDialogWritesHexAndAsksBeforeReplacing_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QMessageBox::StandardButton>("replace");
        QTest::addColumn<bool>("saved");
        QTest::newRow("new file") << false << QMessageBox::NoButton << true;
        QTest::newRow("existing .hex, replaced") << true << QMessageBox::Yes << true;
        QTest::newRow("existing .hex, kept") << true << QMessageBox::No << false;
    }
    void saveDialogWritesHexAndAsksBeforeReplacing()
    {
        QFETCH(bool, exists);
        QFETCH(QMessageBox::StandardButton, replace);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString typed = dir.filePath(QStringLiteral("reader_v1.00_CF012"));
        const QString written = typed + QStringLiteral(".hex");
        if (exists)
            QVERIFY(TestFiles::write(written, "old"));

        GuiDialogs dialogs;
        Dialogs::FileRequest request;
        request.title = QStringLiteral("save");
        request.filter = QStringLiteral("Hex file (*.hex)");
        request.directory = dir.path();
        request.defaultSuffix = QStringLiteral("hex");
        request.fileName = QStringLiteral("proposed");
        QString question;
        whenShown<QFileDialog>([&](QFileDialog *fileDialog) {
            if (exists) {
                whenShown<QMessageBox>([&](QMessageBox *box) {
                    question = box->text();
                    if (replace == QMessageBox::No) // the file dialog comes back: cancel it
                        whenShown<QFileDialog>([](QFileDialog *again) { again->reject(); });
                    box->button(replace)->click();
                });
            }
            // Typed into the name field (selectFile leaves a focused field alone).
            auto *name = fileDialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!name)
                return fileDialog->reject();
            name->setText(QFileInfo(typed).fileName());
            QMetaObject::invokeMethod(fileDialog, "accept"); // a slot, protected in QFileDialog
        });
        QCOMPARE(dialogs.saveFileName(request), saved ? written : QString());
        QCOMPARE(question.isEmpty(), !exists);
        if (exists)
            QVERIFY2(question.startsWith(QStringLiteral("reader_v1.00_CF012.hex already exists")),
                     qPrintable(question));
    }
};

QTEST_MAIN(TestGuiDialogs)
#include "tst_guidialogs.moc"
