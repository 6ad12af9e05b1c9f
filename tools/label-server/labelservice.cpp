#include "label-server/labelservice.h"

#include "label-server/labelprinter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

int LabelService::StartDesigner()
{
    return Ok;
}

int LabelService::QuitDesigner()
{
    // After the reply has gone out.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return Ok;
}

namespace {

// A bare or relative name that is not found as it stands is looked for among
// the installed labels (share/corvant), where the bundled one lives.
QString located(const QString &fileName)
{
    if (QFileInfo::exists(fileName) || QFileInfo(fileName).isAbsolute())
        return fileName;
    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QStringLiteral("corvant/") + fileName);
    return installed.isEmpty() ? fileName : installed;
}

} // namespace

int LabelService::OpenLabel(const QString &requested)
{
    m_label.reset();
    const QString fileName = located(requested);
    const QFileInfo info(fileName);
    // A FIFO would block the server, a device never end.
    if (!info.isReadable() || !info.isFile())
        return CannotRead;
    if (info.size() > LabelTemplate::kMaximumFileSize)
        return LabelTooLarge;
    QString error;
    m_label = LabelTemplate::load(fileName, &error);
    if (!m_label) {
        std::fprintf(stderr, "corvant-label-server: %s: %s\n", qPrintable(fileName),
                     qPrintable(error));
        return QFileInfo(fileName).isFile() ? NotALabel : CannotRead;
    }
    return Ok;
}

int LabelService::SetVariable(const QString &name, const QString &value)
{
    if (!m_label)
        return NoLabel;
    if (value.size() > kLongestValue)
        return ValueTooLong;
    return m_label->setVariable(name, value) ? Ok : UnknownVariable;
}

int LabelService::PrintLabel(int quantity)
{
    if (!m_label)
        return NoLabel;
    if (quantity < 1)
        return BadQuantity;
    if (quantity > kMostCopies)
        return TooManyCopies;
    // Checked before the drawing is made: making it could exhaust memory.
    if (m_label->filledSize() > LabelTemplate::kMaximumFilledSize)
        return DrawingTooLarge;
    return LabelPrinter::print(*m_label, quantity);
}
