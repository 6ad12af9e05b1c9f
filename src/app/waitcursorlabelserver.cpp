#include "app/waitcursorlabelserver.h"

#include <QApplication>

namespace {

// The busy cursor for the lifetime of one call, however it ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

void WaitCursorLabelServer::startDesignerAsync(QObject *context, std::function<void(bool)> done)
{
    // Does not block: no busy cursor.
    m_server.startDesignerAsync(context, std::move(done));
}

std::int32_t WaitCursorLabelServer::StartDesigner()
{
    const WaitCursor cursor;
    return m_server.StartDesigner();
}

std::int32_t WaitCursorLabelServer::QuitDesigner()
{
    const WaitCursor cursor;
    return m_server.QuitDesigner();
}

std::int32_t WaitCursorLabelServer::OpenLabel(const QString &fileName)
{
    const WaitCursor cursor;
    return m_server.OpenLabel(fileName);
}

std::int32_t WaitCursorLabelServer::SetVariable(const QString &name, const QString &value)
{
    const WaitCursor cursor;
    return m_server.SetVariable(name, value);
}

std::int32_t WaitCursorLabelServer::PrintLabel(std::int32_t quantity)
{
    const WaitCursor cursor;
    return m_server.PrintLabel(quantity);
}
