#pragma once

// The main window under test: its own settings folder, scripted boxes and
// file dialogs, firmware files with the option slots asked for.
#include "app/tformmain.h"
#include "hexlines.h"
#include "labelservers.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

inline bool shown(const QWidget *widget)
{
    return !widget->isHidden();
}

// The window holds the file and its field shows it: whole, or shortened to
// the field's width with the file's own name kept (the temporary folder's
// name, and so the path's width, differs from run to run).
inline bool showsFile(TFormMain &form, const QString &path)
{
    const QString text = form.editFile->text();
    return form.session().image().currentFileName == path
        && (text == path
            || (text.contains(QLatin1String("..."))
                && text.endsWith(QLatin1Char('/') + QFileInfo(path).fileName())));
}

// A key pressed as the technician would: the window shown and active, the
// key sent to whatever has the focus. False when the window never got active.
[[nodiscard]] inline bool press(QWidget &window, Qt::Key key,
                                Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    if (!window.isVisible()) {
        window.show();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
    }
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
    QTest::keyClick(target, key, modifiers);
    return true;
}

// A window with its own settings folder and scripted boxes.
struct Window {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    WorkingLabelServer labels;
    LabelServer *otherLabelServer = nullptr; // used instead of labels when set
    std::unique_ptr<TFormMain> form;

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QString settingsPath() const { return path("corvant-fwupdate.ini"); }

    void open(const QStringList &arguments, bool labelServer = false,
              const QStringList &devices
              = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB1")})
    {
        TFormMain::Environment environment;
        environment.programPath = QStringLiteral("/opt/corvant/corvant-fwupdate");
        environment.arguments = arguments;
        environment.settingsPath = settingsPath();
        environment.dialogs = &dialogs;
        environment.labelServer = otherLabelServer ? otherLabelServer
            : labelServer                          ? &labels
                                                   : nullptr;
        // Quick wake-ups; a reply time-out that a loaded machine never reaches.
        environment.timing = {std::chrono::milliseconds(100), std::chrono::milliseconds(20),
                              std::chrono::milliseconds(30000)};
        environment.systemSerialDevices = devices;
        form = std::make_unique<TFormMain>(environment);
    }
};
