#include "app/panelsettings.h"

#include "app/customercodegrid.h"
#include "app/optionedits.h"
#include "options/optionslots.h"
#include "options/readeroptions.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kBorder = 5;
constexpr int kGroupHeight = 55;
constexpr int kEditWidth = 130;

QGroupBox *editGroup(const QString &title, const QString &hint, QWidget *edit, QWidget *parent)
{
    auto *group = new QGroupBox(title, parent);
    group->setToolTip(hint);
    group->setFixedSize(PanelSettings::kColumnWidth, kGroupHeight);
    edit->setFixedWidth(kEditWidth);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(kBorder * 2, kBorder, kBorder, kBorder);
    layout->addWidget(edit);
    return group;
}

QPushButton *button(const QString &name, const QString &caption, QSize size, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFixedSize(size);
    b->setAutoDefault(true); // Return presses the focused button
    return b;
}

} // namespace

PanelSettings::PanelSettings(QWidget *parent)
    : QWidget(parent)
    , grpCodes(new QGroupBox(tr("Customer code(s)"), this))
    , SG1(new CustomerCodeGrid(kRows, grpCodes))
    , editRelayTime(new RelayTimeEdit(this))
    , editFacility(new FacilityCodeEdit(this))
    , PanelSave(new QWidget(this))
    , btnSave(button(QStringLiteral("btnSave"), tr("Save plain"), {kColumnWidth, 30}, PanelSave))
    , btnSaveAES(
          button(QStringLiteral("btnSaveAES"), tr("Save encrypted"), {kColumnWidth, 30}, PanelSave))
    , PanelNice(new QWidget(this))
    , btnNicePrint(
          button(QStringLiteral("btnNicePrint"), tr("Print sticker"), {135, 30}, PanelNice))
    , btnNiceSettings(
          button(QStringLiteral("btnNiceSettings"), QStringLiteral("..."), {25, 30}, PanelNice))
{
    setObjectName(QStringLiteral("PanelSettings"));
    grpCodes->setObjectName(QStringLiteral("grpCodes"));
    SG1->setObjectName(QStringLiteral("SG1"));
    editRelayTime->setObjectName(QStringLiteral("editRelayTime"));
    editFacility->setObjectName(QStringLiteral("editFacility"));
    PanelSave->setObjectName(QStringLiteral("PanelSave"));
    PanelNice->setObjectName(QStringLiteral("PanelNice"));
    btnNiceSettings->setToolTip(tr("Change NiceLabel printer settings"));
    // The initial values are written into every image that has the slots,
    // shown or not.
    editRelayTime->setValue(ReaderOptions::kInitialRelayTimeSeconds);
    editFacility->setValue(ReaderOptions::kInitialFacilityCode);

    // The grid: a fixed label column and a value column, no headers, no
    // scroll bars, rows of 22 pixels.
    SG1->horizontalHeader()->hide();
    SG1->verticalHeader()->hide();
    SG1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SG1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SG1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SG1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    SG1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Typing into a selected cell edits it; Delete empties it; F2 stays Browse.
    // A click on the selected cell opens no editor: the view would open it
    // a double-click time later and drop the keys typed meanwhile (a quick
    // "123" after the click became "23").
    SG1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed);
    for (int row = 0; row < kRows; ++row) {
        auto *label
            = new GridLabelItem(QString::fromLatin1(OptionSlots::kRowLabels[std::size_t(row)]));
        label->setFlags(Qt::ItemIsEnabled);
        SG1->setItem(row, 0, label);
        SG1->setItem(row, 1, new QTableWidgetItem());
    }
    SG1->setFixedHeight(kRows * kRowHeight + 2 * SG1->frameWidth());
    auto *codesLayout = new QVBoxLayout(grpCodes);
    codesLayout->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    codesLayout->addWidget(SG1);
    codesLayout->addStretch();
    grpCodes->setFixedWidth(kColumnWidth);

    grpRelayTime = editGroup(tr("Relay time"), tr("Relay time in range from 1 - 25 seconds"),
                             editRelayTime, this);
    grpRelayTime->setObjectName(QStringLiteral("grpRelayTime"));
    grpFacility = editGroup(tr("Facility code"), tr("Facility code in range from 0 - 65535"),
                            editFacility, this);
    grpFacility->setObjectName(QStringLiteral("grpFacility"));

    PanelSave->setFixedSize(kColumnWidth, 60);
    auto *saveLayout = new QVBoxLayout(PanelSave);
    saveLayout->setContentsMargins(0, 0, 0, 0);
    saveLayout->setSpacing(0);
    saveLayout->addWidget(btnSave);
    saveLayout->addWidget(btnSaveAES);

    PanelNice->setFixedSize(kColumnWidth, 40);
    auto *niceLayout = new QHBoxLayout(PanelNice);
    niceLayout->setContentsMargins(0, 10, 0, 0);
    niceLayout->setSpacing(0);
    niceLayout->addWidget(btnNicePrint, 0, Qt::AlignTop);
    niceLayout->addWidget(btnNiceSettings, 0, Qt::AlignTop);
    niceLayout->addStretch();

    // A translated text longer than the right column widens the column with
    // its groups and buttons; the English texts keep the design's width.
    const int column = std::max(
        {kColumnWidth, btnSave->sizeHint().width(), btnSaveAES->sizeHint().width(),
         btnNicePrint->sizeHint().width() + btnNiceSettings->width(),
         grpRelayTime->minimumSizeHint().width(), grpFacility->minimumSizeHint().width()});
    for (QWidget *widget : std::initializer_list<QWidget *>{grpRelayTime, grpFacility, PanelSave,
                                                            PanelNice, btnSave, btnSaveAES})
        widget->setFixedWidth(column);
    btnNicePrint->setFixedWidth(column - btnNiceSettings->width());

    auto *right = new QVBoxLayout;
    right->setSpacing(0);
    right->addWidget(grpRelayTime);
    right->addWidget(grpFacility);
    right->addStretch();
    right->addWidget(PanelSave);
    right->addWidget(PanelNice);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    layout->addWidget(grpCodes);
    layout->addStretch();
    layout->addLayout(right);
}

QString PanelSettings::cellText(int row) const
{
    const QTableWidgetItem *item = SG1->item(row, 1);
    return item ? item->text() : QString();
}

void PanelSettings::setCellText(int row, const QString &text)
{
    SG1->item(row, 1)->setText(text);
}
