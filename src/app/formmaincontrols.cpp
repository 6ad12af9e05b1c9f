// The main window's controls and their placement.
#include "app/formmaincontrols.h"

#include "app/panelsettings.h"
#include "app/shadedprogressbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kPanelTopHeight = 80;
constexpr int kPanelMainHeight = 75;
constexpr int kPanelButtonsHeight = 150;
constexpr int kProgressHeight = 16;
constexpr int kClientWidth = 345;

QPushButton *namedButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // Return presses the focused button, as it does in the boxes.
    button->setAutoDefault(true);
    return button;
}

} // namespace

void FormMainControls::setupControls(QWidget *form)
{
    form->setObjectName(QStringLiteral("FormMain"));
    // Resizable and minimisable, no maximise button.
    form->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Title panel: logo, "QUILMAR", version.
    PanelTop = new QWidget(form);
    PanelTop->setObjectName(QStringLiteral("PanelTop"));
    PanelTop->setFixedHeight(kPanelTopHeight);
    PanelTop->setAutoFillBackground(true);
    QPalette top = PanelTop->palette();
    top.setColor(QPalette::Window, QColor(0, 136, 204));
    top.setColor(QPalette::WindowText, Qt::white);
    PanelTop->setPalette(top);
    Image1 = new QLabel(PanelTop);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(140, 70);
    Image1->setPixmap(QPixmap(QStringLiteral(":/logo.png")));
    lblTitle = new QLabel(QStringLiteral("QUILMAR"), PanelTop);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(21);
    lblTitle->setFont(title);
    lblTitle->setAlignment(Qt::AlignCenter);
    lblVersion = new QLabel(PanelTop);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignCenter);
    auto *titles = new QVBoxLayout;
    titles->addStretch();
    titles->addWidget(lblTitle);
    titles->addWidget(lblVersion);
    titles->addStretch();
    auto *topLayout = new QHBoxLayout(PanelTop);
    topLayout->setContentsMargins(5, 5, 5, 5);
    topLayout->addWidget(Image1);
    topLayout->addLayout(titles, 1);

    // Port and file.
    PanelMain = new QWidget(form);
    PanelMain->setObjectName(QStringLiteral("PanelMain"));
    PanelMain->setFixedHeight(kPanelMainHeight);
    editPort = new QComboBox(PanelMain);
    editPort->setObjectName(QStringLiteral("editPort"));
    editPort->setEditable(true);
    editPort->setInsertPolicy(QComboBox::NoInsert);
    lblFile = new QLabel(QCoreApplication::translate("FormMain", "File:"), PanelMain);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    editFile = new QLineEdit(PanelMain);
    editFile->setObjectName(QStringLiteral("editFile"));
    editFile->setReadOnly(true);
    editFile->setPlaceholderText(QCoreApplication::translate("FormMain", "« no file selected »"));
    btnBrowse = namedButton("btnBrowse", QStringLiteral("..."), PanelMain);
    btnBrowse->setToolTip(
        QCoreApplication::translate("FormMain", "Click to select a firmware file"));
    btnBrowse->setFixedWidth(25);
    auto *mainLayout = new QGridLayout(PanelMain);
    mainLayout->setContentsMargins(8, 8, 8, 8);
    mainLayout->addWidget(new QLabel(QCoreApplication::translate("FormMain", "Port:"), PanelMain),
                          0, 0);
    mainLayout->addWidget(editPort, 0, 1, 1, 2);
    mainLayout->addWidget(lblFile, 1, 0);
    mainLayout->addWidget(editFile, 1, 1);
    mainLayout->addWidget(btnBrowse, 1, 2);
    mainLayout->setColumnStretch(1, 1);

    panelSettings = new PanelSettings(form);

    // Download options and buttons, the progress bar along the bottom.
    PanelButtons = new QWidget(form);
    PanelButtons->setObjectName(QStringLiteral("PanelButtons"));
    PanelButtons->setFixedHeight(kPanelButtonsHeight);
    auto *separator = new QFrame(PanelButtons);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    chkCCODES = new QCheckBox(QCoreApplication::translate("FormMain", "Download customer codes"),
                              PanelButtons);
    chkCCODES->setObjectName(QStringLiteral("chkCCODES"));
    chkCCODES->setToolTip(QCoreApplication::translate(
        "FormMain", "This will overwrite the customer codes in the reader"));
    chkEEPROM = new QCheckBox(QCoreApplication::translate("FormMain", "Download EEPROM data"),
                              PanelButtons);
    chkEEPROM->setObjectName(QStringLiteral("chkEEPROM"));
    btnDownload = namedButton("btnDownload", QCoreApplication::translate("FormMain", "&Download"),
                              PanelButtons);
    btnExit
        = namedButton("btnExit", QCoreApplication::translate("FormMain", "E&xit"), PanelButtons);
    btnCancel = namedButton("btnCancel", QCoreApplication::translate("FormMain", "&Cancel"),
                            PanelButtons);
    ProgressBar = new ShadedProgressBar(PanelButtons);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setFixedHeight(kProgressHeight);
    ProgressBar->setTextVisible(false);
    // Its place is kept while it is hidden: the buttons above stay still
    // when it appears.
    QSizePolicy keepPlace = ProgressBar->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    ProgressBar->setSizePolicy(keepPlace);
    ProgressBar->hide();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnDownload);
    buttons->addStretch();
    buttons->addWidget(btnExit);
    buttons->addWidget(btnCancel); // in the same place: one of them is shown
    auto *buttonsLayout = new QVBoxLayout(PanelButtons);
    buttonsLayout->setContentsMargins(8, 0, 8, 4);
    buttonsLayout->addWidget(separator);
    buttonsLayout->addWidget(chkCCODES);
    buttonsLayout->addWidget(chkEEPROM);
    buttonsLayout->addStretch();
    buttonsLayout->addLayout(buttons);
    buttonsLayout->addStretch();
    buttonsLayout->addWidget(ProgressBar);

    StatusBar = new QLabel(form);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFrameShape(QFrame::StyledPanel);
    StatusBar->setFrameShadow(QFrame::Sunken);
    StatusBar->setMinimumHeight(StatusBar->fontMetrics().height() + 6);
    StatusBar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelTop);
    layout->addWidget(PanelMain);
    layout->addWidget(panelSettings, 1);
    layout->addWidget(PanelButtons);
    layout->addWidget(StatusBar);
    form->resize(kClientWidth, 560);
}
