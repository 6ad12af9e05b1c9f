#include "app/guidialogs.h"

#include "app/windowlog.h"
#include "image/filenames.h"
#include "session/appinfo.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

// What a title bar needs besides the title: icon, buttons and margins.
constexpr int kTitleBarExtras = 160;

// A bracket pair of the usage text ("[ port=COMn ]") is never broken over two
// lines: its blanks become non-breaking ones.
QString keepBracketsTogether(QString text)
{
    int depth = 0;
    for (QChar &c : text) {
        if (c == QLatin1Char('['))
            ++depth;
        else if (c == QLatin1Char(']') && depth > 0)
            --depth;
        else if (c == QLatin1Char(' ') && depth > 0)
            c = QChar::Nbsp;
    }
    return text;
}

const char *const kAnswerNames[] = {"Ok", "Yes", "No", "Abort", "Retry", "Closed"};

Dialogs::Answer answerOf(const QMessageBox &box, QAbstractButton *clicked,
                         const QAbstractButton *abort, const QAbstractButton *retry)
{
    if (clicked && clicked == abort)
        return Dialogs::Answer::Abort;
    if (clicked && clicked == retry)
        return Dialogs::Answer::Retry;
    switch (box.standardButton(clicked)) {
    case QMessageBox::Ok:
        return Dialogs::Answer::Ok;
    case QMessageBox::Yes:
        return Dialogs::Answer::Yes;
    case QMessageBox::No:
        return Dialogs::Answer::No;
    default:
        return Dialogs::Answer::Closed; // closed without a button (Esc on OK, withdrawn)
    }
}

// The file dialogs' results in the window's log.
QString logged(const QString &title, const QString &chosen)
{
    qCDebug(lcWindow).noquote() << "file dialog" << title << "->"
                                << (chosen.isEmpty() ? QStringLiteral("(cancelled)") : chosen);
    return chosen;
}

} // namespace

QWidget *GuiDialogs::owner() const
{
    // A box over a window that is not on the screen yet (the command line's
    // messages) would sit in the screen's corner; without an owner it is
    // centred on the screen.
    return m_parent && m_parent->isVisible() ? m_parent : nullptr;
}

Dialogs::Answer GuiDialogs::message(Icon icon, const QString &text, Buttons buttons)
{
    QMessageBox box(owner());
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(tr("Information"));
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(tr("Warning"));
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(tr("Error"));
        break;
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        box.setWindowTitle(applicationTitle());
        break;
    }
    // A carriage return between sentences is a line break, as on Windows.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(keepBracketsTogether(shown));
    qCDebug(lcWindow).noquote() << "message" << box.windowTitle() + QLatin1Char(':')
                                << WindowLog::oneLine(text);
    QAbstractButton *abort = nullptr;
    QAbstractButton *retry = nullptr;
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::AbortRetry:
        // Abort, then Retry, on every platform: the platforms order standard
        // buttons by their roles, action buttons as they are added.
        abort = box.addButton(tr("Abort"), QMessageBox::ActionRole);
        retry = box.addButton(tr("Retry"), QMessageBox::ActionRole);
        box.setDefaultButton(static_cast<QPushButton *>(retry));
        box.setEscapeButton(abort);
        break;
    }
    m_open.append(&box);
    box.exec();
    m_open.removeAll(&box);
    const Answer answer = answerOf(box, box.clickedButton(), abort, retry);
    qCDebug(lcWindow).noquote() << "answer" << kAnswerNames[int(answer)];
    return answer;
}

void GuiDialogs::closeMessages()
{
    for (const QPointer<QMessageBox> &box : std::as_const(m_open)) {
        if (box)
            box->reject(); // no button clicked: Closed
    }
}

std::optional<QString> GuiDialogs::inputText(const QString &title, const QString &prompt,
                                             const QString &preset)
{
    QInputDialog dialog(owner());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(preset);
    // Wide enough for the whole title in the title bar. The dialog's layout
    // sizes it from its contents, so the text field is widened.
    if (auto *field = dialog.findChild<QLineEdit *>())
        field->setMinimumWidth(dialog.fontMetrics().horizontalAdvance(title) + kTitleBarExtras);
    qCDebug(lcWindow).noquote() << "input" << title + QLatin1Char(':') << prompt;
    if (dialog.exec() != QDialog::Accepted) {
        qCDebug(lcWindow).noquote() << "answer (cancelled)";
        return std::nullopt;
    }
    qCDebug(lcWindow).noquote() << "answer" << dialog.textValue();
    return dialog.textValue();
}

QString GuiDialogs::saveFileName(const FileRequest &request)
{
    QFileDialog dialog(owner(), request.title, request.directory, request.filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog's own question would be about the name without the
    // extension added below: this asks about the file that is written.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.fileName);
    qCDebug(lcWindow).noquote() << "file dialog" << request.title;
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return logged(request.title, {});
        const QString chosen = withExtension(dialog.selectedFiles().first(), request.defaultSuffix);
        if (!QFileInfo::exists(chosen))
            return logged(request.title, chosen);
        const QString question = tr("%1 already exists.\nDo you want to replace it?")
                                     .arg(QFileInfo(chosen).fileName());
        qCDebug(lcWindow).noquote()
            << "message" << request.title + QLatin1Char(':') << WindowLog::oneLine(question);
        const QMessageBox::StandardButton answer = QMessageBox::warning(
            &dialog, request.title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        qCDebug(lcWindow).noquote() << "answer" << (answer == QMessageBox::Yes ? "Yes" : "No");
        if (answer == QMessageBox::Yes)
            return logged(request.title, chosen);
        // Asked again about the same file, in its own folder: not a file of
        // that name in whatever folder the dialog was showing.
        dialog.setDirectory(QFileInfo(chosen).absolutePath());
        dialog.selectFile(QFileInfo(chosen).fileName());
    }
}

QString GuiDialogs::openFileName(const FileRequest &request)
{
    QFileDialog dialog(owner(), request.title, request.directory, request.filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    qCDebug(lcWindow).noquote() << "file dialog" << request.title;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return logged(request.title, {});
    return logged(request.title, dialog.selectedFiles().first());
}
