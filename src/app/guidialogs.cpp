#include "app/guidialogs.h"

#include "app/appinfo.h"
#include "image/filenames.h"

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
        box.setWindowTitle(QStringLiteral("Information"));
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QStringLiteral("Warning"));
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(QStringLiteral("Error"));
        break;
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        box.setWindowTitle(QString::fromLatin1(kApplicationTitle));
        break;
    }
    // A carriage return between sentences is a line break, as on Windows.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(keepBracketsTogether(shown));
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
        abort = box.addButton(QStringLiteral("Abort"), QMessageBox::ActionRole);
        retry = box.addButton(QStringLiteral("Retry"), QMessageBox::ActionRole);
        box.setDefaultButton(static_cast<QPushButton *>(retry));
        box.setEscapeButton(abort);
        break;
    }
    m_open.append(&box);
    box.exec();
    m_open.removeAll(&box);
    QAbstractButton *clicked = box.clickedButton();
    if (clicked && clicked == abort)
        return Answer::Abort;
    if (clicked && clicked == retry)
        return Answer::Retry;
    switch (box.standardButton(clicked)) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Closed;
    }
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
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
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
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const QString chosen = withExtension(dialog.selectedFiles().first(), request.defaultSuffix);
        if (!QFileInfo::exists(chosen))
            return chosen;
        const QMessageBox::StandardButton answer
            = QMessageBox::warning(&dialog, request.title,
                                   QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                       .arg(QFileInfo(chosen).fileName()),
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer == QMessageBox::Yes)
            return chosen;
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
