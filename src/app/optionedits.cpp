#include "optionedits.h"

#include "valuetests.h"

#include <QLineEdit>

namespace {

// Large enough that out-of-range values can be typed and shown in red.
constexpr double kLargestRelayTime = 999.9;
constexpr int kLargestFacilityCode = 999999;

} // namespace

void showValidity(QAbstractSpinBox &edit, bool valid)
{
    QPalette palette = edit.parentWidget() ? edit.parentWidget()->palette() : QPalette();
    if (!valid) {
        palette.setColor(QPalette::Base, Qt::red);
        palette.setColor(QPalette::Text, Qt::white);
    }
    edit.setPalette(palette);
}

RelayTimeEdit::RelayTimeEdit(QWidget *parent)
    : QDoubleSpinBox(parent)
{
    setDecimals(1);
    setRange(0.0, kLargestRelayTime);
    setSuffix(QStringLiteral(" sec"));
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setValue(5.0);
    // Every change of the text, also one the spin box does not accept yet.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { showValidity(*this, isValueValid()); });
}

bool RelayTimeEdit::isValueValid() const
{
    return ValueTests::relayTimeValid(cleanText(), locale());
}

double RelayTimeEdit::seconds() const
{
    return cleanText().trimmed().isEmpty() ? 0.0 : value();
}

void RelayTimeEdit::fixup(QString &input) const
{
    QString text = input;
    text.remove(suffix());
    if (text.trimmed().isEmpty())
        input = textFromValue(0.0) + suffix();
    else
        QDoubleSpinBox::fixup(input);
}

FacilityCodeEdit::FacilityCodeEdit(QWidget *parent)
    : QSpinBox(parent)
{
    setRange(0, kLargestFacilityCode);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setValue(10);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { showValidity(*this, isValueValid()); });
}

bool FacilityCodeEdit::isValueValid() const
{
    return ValueTests::facilityCodeValid(cleanText());
}

qint64 FacilityCodeEdit::code() const
{
    return cleanText().trimmed().isEmpty() ? 0 : value();
}

void FacilityCodeEdit::fixup(QString &input) const
{
    if (input.trimmed().isEmpty())
        input = QStringLiteral("0");
    else
        QSpinBox::fixup(input);
}
