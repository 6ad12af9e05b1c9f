#pragma once

#include "label-server/labeltemplate.h"

#include <QDBusContext>
#include <QHash>
#include <QObject>
#include <QThreadPool>

#include <optional>

class QDBusServiceWatcher;

// The label server's five operations on the session bus; each returns 0 for
// success and a non-zero status otherwise. Each client has its own label
// and values (one that opened none starts from those the last client to
// leave the bus left behind). A print called over the bus is rendered by a worker, one job
// at a time in the order called, and answered when done (a delayed reply):
// meanwhile every other call is answered at once.
class LabelService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.corvant.LabelServer")

public:
    enum Status {
        Ok = 0,
        NoLabel = 1, // PrintLabel or SetVariable before a label was opened
        CannotRead = 2, // the label file is missing or unreadable
        NotALabel = 3, // the file is no SVG drawing with a size
        UnknownVariable = 4, // the label holds no such variable
        // 5 and 6 are the printer's (LabelPrinter::Status)
        BadQuantity = 7, // fewer than one copy
        LabelTooLarge = 8, // the label file is larger than 4 MiB
        ValueTooLong = 9, // a variable's value is longer than 4096 characters
        TooManyCopies = 10, // more than 1000 copies
        DrawingTooLarge = 11, // the filled drawing would be larger than 16 MiB
    };
    static constexpr qsizetype kLongestValue = 4096;
    static constexpr int kMostCopies = 1000;

    explicit LabelService(QObject *parent = nullptr);
    ~LabelService() override;

public slots:
    int StartDesigner();
    int PrintLabel(int quantity);
    int QuitDesigner();
    // A relative name is also looked for among the installed labels.
    int OpenLabel(const QString &fileName);
    int SetVariable(const QString &name, const QString &value);

private:
    // The calling client's label: by its bus name, or the one of calls
    // made without the bus.
    std::optional<LabelTemplate> &label();
    void jobDone();

    QHash<QString, std::optional<LabelTemplate>> m_labels;
    std::optional<LabelTemplate> m_leftBehind; // of the last client that left the bus
    QDBusServiceWatcher *m_clients = nullptr; // forgets a client's label when it goes
    QThreadPool m_printer; // one thread: jobs one at a time, in order
    int m_jobs = 0; // queued or printing
    bool m_quitting = false;
};
