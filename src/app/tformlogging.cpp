#include "app/tformlogging.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

constexpr int kInitialWidth = 480;

QString cleaned(QString text)
{
    text.replace(QChar(0), QLatin1Char(' '));
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start].unicode() <= 0x20)
        ++start;
    while (end > start && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(start, end - start);
}

} // namespace

TFormLogging::TFormLogging(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Viewer(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("FormLogging"));
    setWindowTitle(tr("Logging"));
    Viewer->setObjectName(QStringLiteral("Viewer"));
    Viewer->setReadOnly(true);
    Viewer->setLineWrapMode(QPlainTextEdit::NoWrap);
    Viewer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Viewer->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Viewer->setMaximumBlockCount(kMaximumLines);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    font.setBold(true);
    Viewer->setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Viewer);
    resize(kInitialWidth, 400);

    m_batchTimer.setSingleShot(true);
    m_batchTimer.setInterval(kBatchMilliseconds);
    connect(&m_batchTimer, &QTimer::timeout, this, &TFormLogging::flushLines);
}

void TFormLogging::addLogLine(const QString &text, LogColour colour)
{
    m_pending.push_back({cleaned(text), colour});
    // A peer that floods the link fills batches long before their time is
    // up: a full batch goes at once, so what waits stays small.
    if (m_pending.size() >= std::size_t(kMaximumBatch))
        flushLines();
    else if (!m_batchTimer.isActive())
        m_batchTimer.start();
}

void TFormLogging::follow(const DownloadEngine &download)
{
    connect(&download, &DownloadEngine::logged, this,
            [this](DownloadEngine::Direction direction, const QByteArray &bytes) {
                addLogLine(DownloadEngine::logText(direction, bytes),
                           direction == DownloadEngine::Direction::Sent ? kTransmitColour
                                                                        : kReceiveColour);
            });
    connect(&download, &DownloadEngine::noticed, this,
            [this](const QString &text) { addLogLine(text, kNoticeColour); });
}

void TFormLogging::flushLines()
{
    m_batchTimer.stop();
    if (m_pending.empty())
        return;
    QTextCursor cursor(Viewer->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    for (const Line &line : m_pending) {
        // The empty document has one empty block, which takes the first line.
        if (m_anyLine)
            cursor.insertBlock(); // beyond the bound, the document drops its first block
        m_anyLine = true;
        format.setForeground(QColor(line.colour.red, line.colour.green, line.colour.blue));
        cursor.insertText(line.text, format);
    }
    cursor.endEditBlock();
    m_pending.clear();
    // Keep the newest line in view.
    Viewer->verticalScrollBar()->setValue(Viewer->verticalScrollBar()->maximum());
}

void TFormLogging::showBeside(const QWidget &mainWindow)
{
    const QRect main = mainWindow.frameGeometry();
    const QPoint corner(main.x() + main.width(), main.y());
    resize(width(), mainWindow.height());
    m_placement.place([corner](const QSize &) { return corner; });
    show();
    raise();
}
