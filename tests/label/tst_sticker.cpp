#include "label/sticker.h"
#include "scripteddialogs.h"

#include <QTest>

using Cells = std::array<QString, OptionSlots::kSlotCount>; // grid rows: CF DF GF C D G A B
Q_DECLARE_METATYPE(Cells)
Q_DECLARE_METATYPE(CustomerSlots)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// Records the calls; answers with the statuses given, or raises a binding
// error at the call numbered bindingErrorAt (from 1).
class FakeServer : public LabelServer {
public:
    QStringList calls;
    QList<std::int32_t> statuses; // taken in call order; 0 when none left
    int bindingErrorAt = 0;

    std::int32_t StartDesigner() override { return answer(QStringLiteral("StartDesigner")); }
    std::int32_t QuitDesigner() override { return answer(QStringLiteral("QuitDesigner")); }
    std::int32_t OpenLabel(const QString &f) override
    {
        return answer(QStringLiteral("OpenLabel ") + f);
    }
    std::int32_t SetVariable(const QString &n, const QString &v) override
    {
        return answer(QStringLiteral("SetVariable %1=%2").arg(n, v));
    }
    std::int32_t PrintLabel(std::int32_t q) override
    {
        return answer(QStringLiteral("PrintLabel %1").arg(q));
    }

private:
    std::int32_t answer(const QString &call)
    {
        calls << call;
        if (calls.size() == bindingErrorAt)
            throw LabelServerError(QStringLiteral("gone"));
        return statuses.isEmpty() ? 0 : statuses.takeFirst();
    }
};

const Sticker::LabelSettings kLabel{QStringLiteral("/labels/quilmar.lbl"),
                                    QStringLiteral("firmware"), QStringLiteral("custcode")};

} // namespace

class TestSticker : public QObject {
    Q_OBJECT

private slots:
    void codeText_data()
    {
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<CustomerSlots>("codes"); // slots: CF C DF D GF G A B
        QTest::addColumn<QString>("text");

        QTest::newRow("CF, DF and GF")
            << Cells{QStringLiteral("123"), QStringLiteral("4567"), QStringLiteral("012")}
            << CustomerSlots{123, 0, 4567, 0, 12, 0, 0, 0} << QStringLiteral("CF123 DF4567 GF12");
        QTest::newRow("all empty") << Cells{} << CustomerSlots{} << QString();
        QTest::newRow("value from the slot, not the cell")
            << Cells{QStringLiteral("007")} << CustomerSlots{7, 0, 0, 0, 0, 0, 0, 0}
            << QStringLiteral("CF7");
        QTest::newRow("every row in row order")
            << Cells{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                     QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                     QStringLiteral("7"), QStringLiteral("8")}
            << CustomerSlots{1, 4, 2, 5, 3, 6, 7, 8}
            << QStringLiteral("CF1 DF2 GF3 C4 D5 G6 A7 B8");
        QTest::newRow("empty cell, code left in the slot")
            << Cells{QString(), QStringLiteral("9")} << CustomerSlots{5, 0, 9, 0, 0, 0, 0, 0}
            << QStringLiteral("DF9");
    }
    void codeText()
    {
        QFETCH(Cells, cells);
        QFETCH(CustomerSlots, codes);
        QTEST(Sticker::codeText(cells, codes), "text");
    }

    void firmwareText_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("windows path")
            << QStringLiteral("C:\\fw\\x_v1.2.hex") << QStringLiteral("x_v1.2");
        QTest::newRow("shortened field")
            << QStringLiteral("/home/t.../reader_v2.hex") << QStringLiteral("reader_v2");
        QTest::newRow("no file") << QString() << QString();
    }
    void firmwareText()
    {
        QFETCH(QString, field);
        QTEST(Sticker::firmwareText(field), "text");
    }

    void printStopsAtTheFirstFailure_data()
    {
        QTest::addColumn<QList<std::int32_t>>("statuses");
        QTest::addColumn<int>("bindingErrorAt");
        QTest::addColumn<int>("calls");
        QTest::addColumn<QStringList>("messages");

        QTest::newRow("success shows nothing") << QList<std::int32_t>{} << 0 << 4 << QStringList();
        QTest::newRow("OpenLabel fails")
            << QList<std::int32_t>{2} << 0 << 1
            << QStringList{QStringLiteral("Error: OpenLabel failed (/labels/quilmar.lbl)")};
        QTest::newRow("first SetVariable fails")
            << QList<std::int32_t>{0, 4} << 0 << 2
            << QStringList{QStringLiteral("Error: SetVariable failed (firmware)")};
        QTest::newRow("second SetVariable fails")
            << QList<std::int32_t>{0, 0, -1} << 0 << 3
            << QStringList{QStringLiteral("Error: SetVariable failed (custcode)")};
        QTest::newRow("PrintLabel fails")
            << QList<std::int32_t>{0, 0, 0, 5} << 0 << 4
            << QStringList{QStringLiteral("Error: PrintLabel failed")};
        QTest::newRow("binding error mid-way is silent")
            << QList<std::int32_t>{} << 2 << 2 << QStringList();
    }
    void printStopsAtTheFirstFailure()
    {
        QFETCH(QList<std::int32_t>, statuses);
        QFETCH(int, bindingErrorAt);
        QFETCH(int, calls);
        FakeServer server;
        server.statuses = statuses;
        server.bindingErrorAt = bindingErrorAt;
        ScriptedDialogs dialogs;
        Sticker::print(server, dialogs, kLabel, QStringLiteral("x_v1.2"),
                       QStringLiteral("CF123 DF4567"));
        QCOMPARE(server.calls.size(), calls);
        QTEST(dialogs.texts(), "messages");
        for (const ScriptedDialogs::Shown &shown : std::as_const(dialogs.shown))
            QCOMPARE(shown.icon, Dialogs::Icon::Error);
        if (calls == 4)
            QCOMPARE(server.calls,
                     (QStringList{QStringLiteral("OpenLabel /labels/quilmar.lbl"),
                                  QStringLiteral("SetVariable firmware=x_v1.2"),
                                  QStringLiteral("SetVariable custcode=CF123 DF4567"),
                                  QStringLiteral("PrintLabel 1")}));
    }

    void chooseSettings_data()
    {
        QTest::addColumn<QString>("file"); // empty: cancelled
        QTest::addColumn<QList<std::optional<QString>>>("names"); // the two input boxes
        QTest::addColumn<QStringList>("result"); // file, first, second

        const QString chosen = QStringLiteral("/labels/other.lbl");
        QTest::newRow("file dialog cancelled")
            << QString() << QList<std::optional<QString>>{}
            << QStringList{kLabel.fileName, kLabel.firmwareVariable, kLabel.codesVariable};
        QTest::newRow("first name cancelled keeps the new file")
            << chosen << QList<std::optional<QString>>{std::nullopt}
            << QStringList{chosen, kLabel.firmwareVariable, kLabel.codesVariable};
        QTest::newRow("second name cancelled keeps the first")
            << chosen << QList<std::optional<QString>>{QStringLiteral("fw"), std::nullopt}
            << QStringList{chosen, QStringLiteral("fw"), kLabel.codesVariable};
        QTest::newRow("empty names are stored")
            << chosen << QList<std::optional<QString>>{QString(), QString()}
            << QStringList{chosen, QString(), QString()};
    }
    void chooseSettings()
    {
        QFETCH(QString, file);
        QFETCH(QList<std::optional<QString>>, names);
        ScriptedDialogs dialogs;
        dialogs.fileNames = {file};
        dialogs.inputs = names;
        Sticker::LabelSettings settings = kLabel;
        Sticker::chooseSettings(dialogs, settings, QStringLiteral("TITLE"));
        QTEST((QStringList{settings.fileName, settings.firmwareVariable, settings.codesVariable}),
              "result");

        const Dialogs::FileRequest &request = dialogs.fileRequests.at(0);
        QCOMPARE(request.title, QStringLiteral("TITLE  -  Select NiceLabel file"));
        QCOMPARE(request.filter, QStringLiteral("NiceLabel file (*.lbl);;Any file (*)"));
        QCOMPARE(request.fileName, kLabel.fileName);
        if (!names.isEmpty())
            QCOMPARE(dialogs.prompts.at(0),
                     QStringLiteral("TITLE  -  Select variable name|First variable name (used for "
                                    "firmware version)|firmware"));
        if (names.size() == 2)
            QCOMPARE(dialogs.prompts.at(1),
                     QStringLiteral("TITLE  -  Select variable name|Second variable name (used for "
                                    "customer codes)|custcode"));
    }
};

QTEST_GUILESS_MAIN(TestSticker)
#include "tst_sticker.moc"
