#pragma once

#include <QDoubleSpinBox>
#include <QSpinBox>

// The two option edits of the settings panel. Each tests its text at every
// change, typed or made by the program (the reformatting on leaving, a value
// read from the image), and shows an invalid value in white on red, without
// a message and without holding the focus; the typed value stays, and a save
// or download takes it as it is. An empty edit becomes 0 when it loses the
// focus.

// Relay time in seconds, one decimal, suffix " sec", always with a decimal
// point ("5.0 sec", as the reader displays it, in every language); valid
// from 1.0 to 25.5.
class RelayTimeEdit : public QDoubleSpinBox {
    Q_OBJECT

public:
    explicit RelayTimeEdit(QWidget *parent = nullptr);
    // Hides the spin box's own: the colours follow a value set by the
    // program even when the number stays the same and only the text changes.
    void setValue(double seconds);
    bool isValueValid() const;
    // The value a save or download writes: 0 for an empty edit.
    double seconds() const;

signals:
    void changed(); // the text changed, typed or set

protected:
    // A comma typed (a German keypad's decimal key) becomes the point.
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    void focusOutEvent(QFocusEvent *event) override;
};

// Facility code, digits only; valid from 0 to 65535.
class FacilityCodeEdit : public QSpinBox {
    Q_OBJECT

public:
    explicit FacilityCodeEdit(QWidget *parent = nullptr);
    void setValue(int code); // as RelayTimeEdit::setValue
    bool isValueValid() const;
    qint64 code() const;

signals:
    void changed(); // as RelayTimeEdit::changed

protected:
    void fixup(QString &input) const override;
    void focusOutEvent(QFocusEvent *event) override;
};

// White on red while invalid, the normal colours otherwise.
void showValidity(QAbstractSpinBox &edit, bool valid);
