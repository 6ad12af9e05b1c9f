#include "labelservice.h"

#include "labelprinter.h"

#include <QCoreApplication>
#include <QFileInfo>
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

int LabelService::OpenLabel(const QString &fileName)
{
    m_label.reset();
    if (!QFileInfo(fileName).isReadable())
        return CannotRead;
    QString error;
    m_label = LabelTemplate::load(fileName, &error);
    if (!m_label) {
        std::fprintf(stderr, "corvant-label-server: %s: %s\n", qPrintable(fileName), qPrintable(error));
        return QFileInfo(fileName).isFile() ? NotALabel : CannotRead;
    }
    return Ok;
}

int LabelService::SetVariable(const QString &name, const QString &value)
{
    if (!m_label)
        return NoLabel;
    return m_label->setVariable(name, value) ? Ok : UnknownVariable;
}

int LabelService::PrintLabel(int quantity)
{
    if (!m_label)
        return NoLabel;
    if (quantity < 1)
        return BadQuantity;
    return LabelPrinter::print(*m_label, quantity);
}
