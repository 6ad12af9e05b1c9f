#include "label-server/labelservice.h"

#include "label-server/labelprinter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

int LabelService::StartDesigner()
{
    return Ok;
}

LabelService::LabelService(QObject *parent)
    : QObject(parent)
{
    m_printer.setMaxThreadCount(1);
    m_printer.setExpiryTimeout(-1);
}

LabelService::~LabelService()
{
    m_printer.clear(); // queued prints are dropped: nobody is there for their replies
    m_printer.waitForDone();
}

std::optional<LabelTemplate> &LabelService::label()
{
    if (!calledFromDBus())
        return m_labels[QString()];
    const QString client = message().service();
    if (!m_clients) {
        m_clients = new QDBusServiceWatcher(this);
        m_clients->setConnection(connection());
        m_clients->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(m_clients, &QDBusServiceWatcher::serviceUnregistered, this,
                [this](const QString &gone) {
                    if (std::optional<LabelTemplate> left = m_labels.take(gone))
                        m_leftBehind = std::move(left);
                    m_clients->removeWatchedService(gone);
                });
    }
    if (!m_labels.contains(client)) {
        m_clients->addWatchedService(client);
        // A script of dbus-send calls is one client per call: each goes on
        // with the label the one before it left.
        m_labels.insert(client, m_leftBehind);
    }
    return m_labels[client];
}

int LabelService::QuitDesigner()
{
    // After the reply has gone out, and after the prints under way.
    m_quitting = true;
    if (m_jobs == 0)
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return Ok;
}

void LabelService::jobDone()
{
    // After the reply has gone out.
    if (--m_jobs == 0 && m_quitting)
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
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
    std::optional<LabelTemplate> &current = label();
    current.reset();
    const QString fileName = located(requested);
    const QFileInfo info(fileName);
    // A FIFO would block the server, a device never end.
    if (!info.isReadable() || !info.isFile())
        return CannotRead;
    if (info.size() > LabelTemplate::kMaximumFileSize)
        return LabelTooLarge;
    QString error;
    current = LabelTemplate::load(fileName, &error);
    if (!current) {
        std::fprintf(stderr, "corvant-label-server: %s: %s\n", qPrintable(fileName),
                     qPrintable(error));
        return QFileInfo(fileName).isFile() ? NotALabel : CannotRead;
    }
    return Ok;
}

int LabelService::SetVariable(const QString &name, const QString &value)
{
    std::optional<LabelTemplate> &current = label();
    if (!current)
        return NoLabel;
    if (value.size() > kLongestValue)
        return ValueTooLong;
    return current->setVariable(name, value) ? Ok : UnknownVariable;
}

int LabelService::PrintLabel(int quantity)
{
    const std::optional<LabelTemplate> &current = label();
    if (!current)
        return NoLabel;
    if (quantity < 1)
        return BadQuantity;
    if (quantity > kMostCopies)
        return TooManyCopies;
    // Checked before the drawing is made: making it could exhaust memory.
    if (current->filledSize() > LabelTemplate::kMaximumFilledSize)
        return DrawingTooLarge;
    if (!calledFromDBus())
        return LabelPrinter::print(*current, quantity);
    // The label as it is now: the client may change it while the job waits.
    setDelayedReply(true);
    ++m_jobs;
    m_printer.start([this, job = *current, quantity, request = message(), bus = connection()] {
        const int status = LabelPrinter::print(job, quantity);
        QMetaObject::invokeMethod(
            this,
            [this, status, request, bus] {
                bus.send(request.createReply(status));
                jobDone();
            },
            Qt::QueuedConnection);
    });
    return Ok; // not sent: the reply is the job's
}
