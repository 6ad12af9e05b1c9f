#include "app/optionedits.h"

#include "options/readeroptions.h"
#include "options/valuetests.h"

#include <QLineEdit>

namespace {

// Large enough that out-of-range values can be typed and shown in red.
constexpr double kLargestRelayTime = 999.9;
constexpr int kLargestFacilityCode = 999999;

// The test runs, and changed() follows, on every change of the text: typed
// ones reach the line edit's signal; the spin box changes its text with that
// signal blocked and reports only its own, and only when the number changed.
template<class Edit> void watchValidity(Edit &edit, QLineEdit *line)
{
    const auto check = [&edit] {
        showValidity(edit, edit.isValueValid());
        emit edit.changed();
    };
    QObject::connect(line, &QLineEdit::textChanged, &edit, check);
    QObject::connect(&edit, &Edit::textChanged, &edit, check);
}

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
    // The reader's form, not the user's: no decimal comma, no translated unit.
    setLocale(QLocale::c());
    setDecimals(1);
    setRange(0.0, kLargestRelayTime);
    setSuffix(QStringLiteral(" sec"));
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    watchValidity(*this, lineEdit());
    setValue(ReaderOptions::kInitialRelayTimeSeconds);
}

void RelayTimeEdit::setValue(double seconds)
{
    QDoubleSpinBox::setValue(seconds);
    showValidity(*this, isValueValid());
    emit changed();
}

void RelayTimeEdit::focusOutEvent(QFocusEvent *event)
{
    QDoubleSpinBox::focusOutEvent(event); // reformats the text
    showValidity(*this, isValueValid());
}

bool RelayTimeEdit::isValueValid() const
{
    return ValueTests::relayTimeValid(cleanText(), locale());
}

double RelayTimeEdit::seconds() const
{
    return cleanText().trimmed().isEmpty() ? 0.0 : value();
}

QValidator::State RelayTimeEdit::validate(QString &input, int &pos) const
{
    input.replace(u',', u'.');
    return QDoubleSpinBox::validate(input, pos);
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
    watchValidity(*this, lineEdit());
    setValue(ReaderOptions::kInitialFacilityCode);
}

void FacilityCodeEdit::setValue(int code)
{
    QSpinBox::setValue(code);
    showValidity(*this, isValueValid());
    emit changed();
}

void FacilityCodeEdit::focusOutEvent(QFocusEvent *event)
{
    QSpinBox::focusOutEvent(event); // an empty text becomes 0
    showValidity(*this, isValueValid());
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
