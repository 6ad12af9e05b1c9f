// Label files over arbitrary bytes: never a crash; a label that loads fills
// every placeholder of its variables, and a PDF output never lies outside
// the label's folder.
#include "label-server/labeltemplate.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("label.lbl"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    std::optional<LabelTemplate> label = LabelTemplate::load(path);
    if (!label)
        return 0;
    if (!label->pdfFile().isEmpty() && !label->pdfFile().startsWith(dir.path() + QLatin1Char('/')))
        std::abort();
    // The label may hold the value's text itself (a CDATA section, say), so
    // escaping is judged by comparison: filled with the value, the drawing
    // holds it exactly as often as filled with a text that cannot form it.
    const QString value = QStringLiteral("<x&\"y'>--");
    const QByteArray valueBytes = value.toUtf8();
    for (const QString &name : label->variables()) {
        if (!label->setVariable(name, QStringLiteral("#")))
            std::abort();
    }
    const qsizetype alreadyThere = label->filledSvg().count(valueBytes);
    for (const QString &name : label->variables()) {
        if (!label->setVariable(name, value))
            std::abort();
    }
    const QByteArray filled = label->filledSvg();
    for (const QString &name : label->variables()) {
        if (filled.contains(QByteArray("{{" + name.toUtf8() + "}}")))
            std::abort();
    }
    if (filled.count(valueBytes) != alreadyThere)
        std::abort(); // a value reached the drawing unescaped
    return 0;
}
