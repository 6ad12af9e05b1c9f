// The window in the system locale's language, translated as the program does
// it: German, or English when CORVANT_TEST_LANG=C.
#include "app/translations.h"
#include "download/tcplink.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>

#include <cerrno>

namespace {

const QByteArray kLanguage = qEnvironmentVariableIsEmpty("CORVANT_TEST_LANG")
    ? QByteArray("de_DE.UTF-8")
    : qgetenv("CORVANT_TEST_LANG");
const bool kGerman = kLanguage.startsWith("de");
// The system locale is read from the environment: set before the application.
[[maybe_unused]] const bool kEnvironment = qputenv("LANG", kLanguage)
    && qputenv("LANGUAGE", kLanguage) && qunsetenv("LC_ALL") && qunsetenv("LC_MESSAGES");

QString shownText(const QWidget *control)
{
    const char *property = qobject_cast<const QGroupBox *>(control) ? "title"
        : control->isWindow()                                       ? "windowTitle"
                                                                    : "text";
    return control->property(property).toString();
}

// The width the style leaves a control's text: inside a button's frame,
// beside a check box's indicator, within a group box's frame (the title as far
// from its far side as from its near one) or a label's.
int room(QWidget *control)
{
    QStyle *style = control->style();
    if (auto *box = qobject_cast<QGroupBox *>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        const QRect title
            = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return box->width() - 2 * title.left();
    }
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const auto contents = qobject_cast<QCheckBox *>(button) ? QStyle::SE_CheckBoxContents
                                                                : QStyle::SE_PushButtonContents;
        return style->subElementRect(contents, &option, button).width();
    }
    return static_cast<QLabel *>(control)->contentsRect().width();
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT

    Window m_window;

private slots:
    // Every control that shows a text is shown.
    void initTestCase()
    {
        QCOMPARE(QLocale::system().language(), kGerman ? QLocale::German : QLocale::C);
        // Ours in German, none in the C locale.
        QCOMPARE(installTranslations(*qApp).filter(QStringLiteral("corvant_de.qm")).size(),
                 qsizetype(kGerman));
        QVERIFY(TestFiles::write(m_window.path("fw.hex"), firmware(true, true, true, true)));
        m_window.open({QStringLiteral("custcode"), m_window.path("fw.hex")}, true);
        m_window.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.form.get()));
        // Qt's own buttons, kept hidden.
        auto *qt = new QDialogButtonBox(QDialogButtonBox::Cancel | QDialogButtonBox::Yes,
                                        m_window.form.get());
        qt->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("qtCancel"));
        qt->button(QDialogButtonBox::Yes)->setObjectName(QStringLiteral("qtYes"));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        const auto row = [](const char *control, const char *english, const char *german) {
            QTest::newRow(control) << QString::fromUtf8(english) << QString::fromUtf8(german);
        };
        row("FormMain", "CORVANT Firmware Update Utility", "CORVANT Firmware-Update-Programm");
        row("lblFile", "File:", "Datei:");
        row("chkCCODES", "Download customer codes", "Kundencodes übertragen");
        row("btnDownload", "&Download", "&Übertragen");
        row("grpFacility", "Facility code", "Anlagencode");
        row("btnSave", "Save plain", "Unverschlüsselt speichern");
        row("editRelayTime", "5.0 sec", "5.0 sec"); // the reader's form in every language
        row("qtCancel", "Cancel", "Abbrechen"); // Qt's own, from qtbase
        row("qtYes", "&Yes", "&Ja");
    }

    void texts()
    {
        QFETCH(QString, english);
        QFETCH(QString, german);
        QWidget *form = m_window.form.get();
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QWidget *control = name == form->objectName() ? form : form->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(shownText(control), kGerman ? german : english);
    }

    // A TCP failure keeps its errno when Qt words it in the window's language.
    void socketErrorsInQtsWords_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<int>("code");
        QTest::newRow("network") << QStringLiteral("Network unreachable") << ENETUNREACH;
        QTest::newRow("host") << QStringLiteral("Host unreachable") << EHOSTUNREACH;
        QTest::newRow("connect") << QStringLiteral("Connection timed out") << ETIMEDOUT;
        QTest::newRow("operation") << QStringLiteral("Network operation timed out") << ETIMEDOUT;
    }

    void socketErrorsInQtsWords()
    {
        QFETCH(QString, english);
        QFETCH(int, code);
        const QString shown
            = QCoreApplication::translate("QNativeSocketEngine", english.toLatin1().constData());
        QCOMPARE(shown != english, kGerman);
        QCOMPARE(TcpLink::errnoOf(QAbstractSocket::NetworkError, shown), code);
    }

    void noTextClipped()
    {
        int checked = 0;
        for (QWidget *control : m_window.form->findChildren<QWidget *>()) {
            const bool textual = qobject_cast<QLabel *>(control)
                || qobject_cast<QAbstractButton *>(control) || qobject_cast<QGroupBox *>(control);
            const QString text = textual ? shownText(control) : QString();
            if (text.isEmpty() || !control->isVisibleTo(m_window.form.get()))
                continue;
            const int width = control->fontMetrics().size(Qt::TextShowMnemonic, text).width();
            QVERIFY2(width <= room(control), qPrintable(text));
            ++checked;
        }
        QCOMPARE_GE(checked, 15); // the settings panel's among them
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
