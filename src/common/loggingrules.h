#pragma once

#include <QLoggingCategory>

// The programs' default logging: the diagnostics of our categories and Qt's
// uncategorised platform notices (a missing XDG_RUNTIME_DIR, size hints the
// platform cannot pass on) stay quiet, so a technician or a production
// script sees only the program's own messages. Qt's own categories keep
// their defaults. QT_LOGGING_RULES is applied after these rules and can turn
// any of them back on, e.g. QT_LOGGING_RULES="corvant.*.debug=true".
inline void applyDefaultLoggingRules()
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvant.*.debug=false\n"
                                                    "corvant.*.info=false\n"
                                                    "default.debug=false\n"
                                                    "default.info=false\n"
                                                    "default.warning=false"));
}
