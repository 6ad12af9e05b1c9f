#include "app/customercodegrid.h"

#include <QMouseEvent>

CustomerCodeGrid::CustomerCodeGrid(int rows, QWidget *parent)
    : QTableWidget(rows, 2, parent)
{
    // Tab moves between the window's controls, not between cells.
    setTabKeyNavigation(false);
}

void CustomerCodeGrid::commitEditor()
{
    if (state() != EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void CustomerCodeGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab in an open editor asks for the next cell; here it leaves the grid.
    QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (hint == QAbstractItemDelegate::EditNextItem
        || hint == QAbstractItemDelegate::EditPreviousItem)
        focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
}

QModelIndex CustomerCodeGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex index = QTableWidget::moveCursor(action, modifiers);
    return index.isValid() && index.column() == 0 ? index.siblingAtColumn(1) : index;
}

void CustomerCodeGrid::mousePressEvent(QMouseEvent *event)
{
    // A click on a label picks its row's value cell.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.column() == 0) {
        setFocus(Qt::MouseFocusReason);
        setCurrentIndex(index.siblingAtColumn(1));
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

QVariant GridLabelItem::data(int role) const
{
    if (const QTableWidget *grid = tableWidget()) {
        if (role == Qt::BackgroundRole)
            return grid->palette().button();
        if (role == Qt::ForegroundRole)
            return grid->palette().buttonText();
    }
    return QTableWidgetItem::data(role);
}
