// The window in the system locale's language, translations installed as the
// program installs them: its texts and Qt's own buttons in German, the relay
// time with its point, and no text wider than its control. A second run in the
// C locale keeps the English texts.
#include "app/panelsettings.h"
#include "app/translations.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

namespace {

// The language this run was started in (CORVANT_TEST_LANG), German by default.
QByteArray testLanguage()
{
    const QByteArray lang = qgetenv("CORVANT_TEST_LANG");
    return lang.isEmpty() ? QByteArray("de_DE.UTF-8") : lang;
}

bool german()
{
    return testLanguage().startsWith("de");
}

QString shownText(const QWidget *control)
{
    if (const auto *box = qobject_cast<const QGroupBox *>(control))
        return box->title();
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text();
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (const auto *spin = qobject_cast<const QAbstractSpinBox *>(control))
        return spin->text();
    return control->windowTitle();
}

// The width the control leaves its text: less the style's frame, margins,
// check indicator and icon.
int room(QWidget *control)
{
    QStyle *style = control->style();
    if (auto *box = qobject_cast<QGroupBox *>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.textAlignment = box->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        // The title starts indented from the frame, and keeps that much from its far side.
        const int indent
            = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box)
                  .left();
        return box->width() - 2 * indent;
    }
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QStyle::SubElement contents = qobject_cast<QCheckBox *>(button)
            ? QStyle::SE_CheckBoxContents
            : QStyle::SE_PushButtonContents;
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        return style->subElementRect(contents, &option, button).width() - icon;
    }
    auto *label = static_cast<QLabel *>(control);
    return label->contentsRect().width() - 2 * label->margin();
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT

    Window m_window;
    QDialogButtonBox m_qtButtons{QDialogButtonBox::Cancel | QDialogButtonBox::Yes};

    QWidget *control(const QString &name)
    {
        TFormMain *form = m_window.form.get();
        if (form->objectName() == name)
            return form;
        if (auto *found = form->findChild<QWidget *>(name))
            return found;
        return m_qtButtons.findChild<QWidget *>(name);
    }

private slots:
    // A window in settings mode on a firmware with every slot and EEPROM
    // data: every control that can show a text is shown.
    void initTestCase()
    {
        QCOMPARE(QLocale::system().language(), german() ? QLocale::German : QLocale::C);
        QVERIFY(TestFiles::write(m_window.path("fw.hex"), firmware(true, true, true, true)));
        m_window.open({QStringLiteral("custcode"), m_window.path("fw.hex")}, true);
        m_window.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.form.get()));
        QVERIFY(shown(m_window.form->panelSettings->PanelNice));
        m_qtButtons.button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("qtCancel"));
        m_qtButtons.button(QDialogButtonBox::Yes)->setObjectName(QStringLiteral("qtYes"));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        const auto row = [](const char *control, const char *english, const char *german) {
            QTest::newRow(control) << QString::fromLatin1(control) << QString::fromUtf8(english)
                                   << QString::fromUtf8(german);
        };
        row("FormMain", "CORVANT Firmware Update Utility", "CORVANT Firmware-Update-Programm");
        row("lblFile", "File:", "Datei:");
        row("chkCCODES", "Download customer codes", "Kundencodes übertragen");
        row("btnDownload", "&Download", "&Übertragen");
        row("grpFacility", "Facility code", "Anlagencode");
        row("btnSave", "Save plain", "Unverschlüsselt speichern");
        // The reader's form in every language.
        row("editRelayTime", "5.0 sec", "5.0 sec");
        // Qt's own, from its qtbase translation.
        row("qtCancel", "Cancel", "Abbrechen");
        row("qtYes", "&Yes", "&Ja");
    }

    void texts()
    {
        QFETCH(QString, control);
        QFETCH(QString, english);
        QFETCH(QString, german);
        const QWidget *widget = this->control(control);
        QVERIFY(widget);
        QCOMPARE(shownText(widget), ::german() ? german : english);
    }

    // Every text shown in the window fits its control, as it is laid out.
    void noTextClipped()
    {
        TFormMain *form = m_window.form.get();
        int checked = 0;
        for (QWidget *widget : form->findChildren<QWidget *>()) {
            const bool textual = qobject_cast<QLabel *>(widget)
                || qobject_cast<QAbstractButton *>(widget) || qobject_cast<QGroupBox *>(widget);
            const QString text = shownText(widget);
            if (!textual || !widget->isVisibleTo(form) || text.isEmpty())
                continue;
            const int width = widget->fontMetrics().size(Qt::TextShowMnemonic, text).width();
            QVERIFY2(width <= room(widget),
                     qPrintable(QStringLiteral("%1 \"%2\": %3 pixels in %4")
                                    .arg(widget->objectName(), text)
                                    .arg(width)
                                    .arg(room(widget))));
            ++checked;
        }
        QCOMPARE_GE(checked, 15); // the panel's controls were among them
    }
};

int main(int argc, char *argv[])
{
    // The system locale comes from the environment, read once: set before
    // the application exists.
    qputenv("LANG", testLanguage());
    qputenv("LANGUAGE", testLanguage());
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    QApplication app(argc, argv);
    const QStringList loaded = installTranslations(app);
    // Ours in German; none in the C locale.
    if (loaded.filter(QStringLiteral("corvant_de.qm")).size() != (german() ? 1 : 0)) {
        qCritical() << "translations loaded:" << loaded;
        return 1;
    }
    TestTranslations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translations.moc"
