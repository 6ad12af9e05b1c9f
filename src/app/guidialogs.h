#pragma once

#include "dialogs/dialogs.h"

#include <QCoreApplication>
#include <QList>
#include <QPointer>

class QMessageBox;
class QWidget;

// Message boxes and file dialogs of the window. Their exec() runs a nested
// event loop: the link's events and the download's timers go on meanwhile.
class GuiDialogs : public Dialogs {
    Q_DECLARE_TR_FUNCTIONS(GuiDialogs)

public:
    explicit GuiDialogs(QWidget *parent = nullptr)
        : m_parent(parent)
    {
    }
    void setParent(QWidget *parent) { m_parent = parent; }

    Answer message(Icon icon, const QString &text, Buttons buttons) override;
    void closeMessages() override;
    QString openFileName(const FileRequest &request) override;
    QString saveFileName(const FileRequest &request) override;
    std::optional<QString> inputText(const QString &title, const QString &prompt,
                                     const QString &preset) override;

private:
    // The window the boxes belong to, once it is on the screen.
    QWidget *owner() const;

    QWidget *m_parent;
    QList<QPointer<QMessageBox>> m_open; // boxes shown, innermost last
};
