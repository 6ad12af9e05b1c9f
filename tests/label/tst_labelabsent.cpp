// The utility with no label server to be had (no session bus at all): the
// sticker buttons stay hidden and closing goes on.
#include "app/panelsettings.h"
#include "label/dbuslabelserver.h"
#include "testfiles.h"
#include "testwindow.h"

class TestLabelAbsent : public QObject {
    Q_OBJECT

private slots:
    void stickerButtonsHidden()
    {
        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(true, true, true, false)));
        DBusLabelServer server({w.path("no-such-program")}, std::chrono::milliseconds(200));
        w.otherLabelServer = &server;
        w.open({QStringLiteral("custcode"), w.path("fw.hex")});
        TFormMain &form = *w.form;
        QVERIFY(!form.panelSettings->PanelSave->isHidden());
        QVERIFY(form.panelSettings->PanelNice->isHidden());
        QVERIFY(form.close());
        QVERIFY(w.dialogs.shown.isEmpty());
        QVERIFY(QFile::exists(w.settingsPath()));
    }
};

QTEST_MAIN(TestLabelAbsent)
#include "tst_labelabsent.moc"
