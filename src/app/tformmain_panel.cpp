// The settings panel's handlers (the customer code grid, the group boxes)
// and the window's event filter.
#include "app/tformmain.h"

#include "app/customercodegrid.h"
#include "app/optionedits.h"
#include "app/panelsettings.h"
#include "app/tformlogging.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace {

bool within(const QWidget *widget, const QWidget *container)
{
    return widget && (widget == container || container->isAncestorOf(widget));
}

} // namespace

void TFormMain::connectPanel()
{
    PanelSettings &panel = *panelSettings;
    UpdateSession *session = m_session.get();
    connect(qApp, &QApplication::focusChanged, this, &TFormMain::gridFocusChanged);
    panel.SG1->installEventFilter(this);
    connect(panel.SG1, &QTableWidget::itemChanged, this, [session](const QTableWidgetItem *item) {
        if (item->column() == 1)
            session->codesTyped();
    });
    // The edits keep what was typed, valid or not; the session takes each change.
    connect(panel.editRelayTime, &RelayTimeEdit::changed, session,
            [session, &panel] { session->setRelayTimeSeconds(panel.editRelayTime->seconds()); });
    connect(panel.editFacility, &FacilityCodeEdit::changed, session,
            [session, &panel] { session->setFacilityCode(panel.editFacility->code()); });
    for (QGroupBox *group : {panel.grpCodes, panel.grpRelayTime, panel.grpFacility})
        group->installEventFilter(this);
    connect(panel.btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(false); });
    connect(panel.btnSaveAES, &QPushButton::clicked, this, [this] { btnSaveClick(true); });
    connect(panel.btnNicePrint, &QPushButton::clicked, this, &TFormMain::btnNicePrintClick);
    connect(panel.btnNiceSettings, &QPushButton::clicked, session,
            &UpdateSession::chooseLabelSettings);
}

void TFormMain::gridFocusChanged(QWidget *old, QWidget *now)
{
    // Entering and leaving the grid are moves of the focus between controls
    // of this window. The grid's own cell editor is part of the grid; a box
    // or another program taking the focus, or the grid being disabled for a
    // download, is no leaving.
    QTableWidget *grid = panelSettings->SG1;
    if (!within(old, this) || !within(now, this) || !grid->isEnabled() || m_session->busy())
        return;
    if (within(old, grid) && !within(now, grid)) {
        checkCustomerCodes(); // StringGridExit
    } else if (!within(old, grid) && within(now, grid) && !m_checkingCodes) {
        // StringGridEnter
        grid->setCurrentCell(m_rowAfterBox >= 0 ? m_rowAfterBox : m_rememberedRow, 1);
    }
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
    PanelSettings &panel = *panelSettings;
    if (event->type() == QEvent::MouseButtonDblClick) {
        // The double-clicks on the groups read the image's values; the one
        // on the logo shows or hides the logging window (ShowDebug).
        if (watched == Image1) {
            if (m_logging->isVisible())
                m_logging->hide();
            else
                m_logging->showBeside(*this);
        } else if (watched == panel.grpCodes) {
            m_session->readCodesFromImage();
        } else if (watched == panel.grpRelayTime) {
            if (const std::optional<double> seconds = m_session->relayTimeInImage())
                panel.editRelayTime->setValue(*seconds);
        } else if (watched == panel.grpFacility) {
            if (const std::optional<int> code = m_session->facilityCodeInImage())
                panel.editFacility->setValue(*code);
        } else {
            return QWidget::eventFilter(watched, event);
        }
        return true;
    }
    // StringGridKeyDown: Delete empties the selected value cell. (Keys typed
    // into an open cell editor go to the editor, not to the grid.)
    if (watched == panel.SG1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete
        && panel.SG1->currentRow() >= 0) {
        panel.setCellText(panel.SG1->currentRow(), QString());
        return true;
    }
    if (watched == editFile && editFile->isEnabled()) {
        if (event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_session->browse();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
            if (!command && !key->text().isEmpty() && key->text().at(0).isPrint()) {
                m_session->browse();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TFormMain::commitCustomerCodes()
{
    // The grid's codes are written only while its group is shown.
    if (!m_session->state().codesGroupShown)
        return true;
    // A code typed into the grid counts, whether or not its cell editor is
    // still open and the focus ever left the grid (F4 is pressed inside it).
    panelSettings->SG1->commitEditor();
    return checkCustomerCodes();
}

bool TFormMain::checkCustomerCodes()
{
    // The range message takes the focus from the grid too.
    if (m_checkingCodes)
        return false;
    m_checkingCodes = true;
    m_rowAfterBox = -1;
    QTableWidget *grid = panelSettings->SG1;
    std::array<QString, OptionSlots::kSlotCount> texts;
    for (int row = 0; row < OptionSlots::kSlotCount; ++row)
        texts[std::size_t(row)] = panelSettings->cellText(row);

    const ValueTests::CodeCheck check = m_session->checkCodes(texts);
    if (check.passed()) {
        if (grid->currentRow() >= 0)
            m_rememberedRow = grid->currentRow();
        grid->clearSelection();
        grid->setCurrentItem(nullptr);
    } else {
        m_rowAfterBox = check.failedRow;
        // Once the focus change that left the grid is complete.
        QTimer::singleShot(0, grid, [grid, row = check.failedRow] {
            grid->setFocus();
            grid->setCurrentCell(row, 1);
        });
    }
    m_checkingCodes = false;
    return check.passed();
}
