#pragma once

#include <QStringList>

class QCoreApplication;

// Installs the translations for the system locale's languages: Qt's own
// (its dialogs' buttons) and the program's, each where it is found; English
// needs none. Returns the files loaded.
QStringList installTranslations(QCoreApplication &app);
