#pragma once

#include <QTableWidget>

// The customer code grid SG1: a fixed column of labels and a column of
// values. Tab and Shift+Tab leave the grid for the next or previous control
// of the window, an open cell editor committed on the way, and a label cell
// never becomes the current cell.
class CustomerCodeGrid : public QTableWidget {
    Q_OBJECT

public:
    CustomerCodeGrid(int rows, QWidget *parent = nullptr);

    // Ends an open cell editor, its text stored in the cell, as leaving the
    // cell does. Nothing when no editor is open.
    void commitEditor();

protected:
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent *event) override;
};

// A label cell of the grid, in the palette's button colours as they are when
// it is drawn: a theme changed while the program runs reaches it too.
class GridLabelItem : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    QVariant data(int role) const override;
};
