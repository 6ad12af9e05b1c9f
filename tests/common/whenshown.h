#pragma once

// Answers real modal dialogs in tests: acts on the next one of a type once it
// is on the screen, from a timer that runs inside the dialog's event loop.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

template<class T> void whenShown(std::function<void(T *)> act)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}
