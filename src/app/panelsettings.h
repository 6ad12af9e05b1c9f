#pragma once

#include "app/customercodegrid.h"

#include <QWidget>

class FacilityCodeEdit;
class QGroupBox;
class RelayTimeEdit;
class QPushButton;

// The settings panel: the customer code grid on the left; relay time and
// facility code at the top right; the save and sticker buttons at the bottom
// right. Shown only in settings mode.
class PanelSettings : public QWidget {
    Q_OBJECT

public:
    static constexpr int kColumnWidth = 160;
    static constexpr int kRowHeight = 22;
    static constexpr int kRows = 8;

    explicit PanelSettings(QWidget *parent = nullptr);

    QGroupBox *grpCodes;
    CustomerCodeGrid *SG1;
    QGroupBox *grpRelayTime;
    RelayTimeEdit *editRelayTime;
    QGroupBox *grpFacility;
    FacilityCodeEdit *editFacility;
    QWidget *PanelSave;
    QPushButton *btnSave;
    QPushButton *btnSaveAES;
    QWidget *PanelNice;
    QPushButton *btnNicePrint;
    QPushButton *btnNiceSettings;

    // The text of a grid row's value cell.
    QString cellText(int row) const;
    void setCellText(int row, const QString &text);
};
