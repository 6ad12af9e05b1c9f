#pragma once

#include <QLoggingCategory>

class QWidget;

// What the window does, for finding out what a technician saw: the focus
// moving, where the controls are, the boxes shown and how they were
// answered. Off unless QT_LOGGING_RULES="corvant.window.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcWindow)

namespace WindowLog {

// The control a widget belongs to: its own name, or the name of the nearest
// named control around it (a combo box's line edit, a cell editor), or else
// its window's title.
QString controlName(const QWidget *widget);

// Every named control shown in the window, with its place in the window's
// client area: "control SG1 10 170 150 180".
void logControls(const QWidget &window);

// A text of a box on one line.
QString oneLine(QString text);

} // namespace WindowLog
