#include "app/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// The program's own files: a folder named by CORVANT_TRANSLATIONS (the
// build's, for the tests and a program run from the build tree; the build's
// path is kept out of the program so that builds in two folders give the
// same bytes); beside the installed program whatever prefix it was installed
// under (a package's /usr, or /opt/corvant); and where the build installs them.
QStringList ownFolders()
{
    QStringList folders;
    if (const QString named = qEnvironmentVariable("CORVANT_TRANSLATIONS"); !named.isEmpty())
        folders << named;
    folders << QDir::cleanPath(QCoreApplication::applicationDirPath()
                               + QStringLiteral("/" CORVANT_TRANSLATIONS_FROM_PROGRAM))
            << QStringLiteral(CORVANT_TRANSLATIONS_DIR);
    return folders;
}

bool load(QCoreApplication &app, const QString &name, const QStringList &folders,
          QStringList &loaded)
{
    for (const QString &folder : folders) {
        auto *translator = new QTranslator(&app);
        if (translator->load(QLocale(), name, QStringLiteral("_"), folder)
            && QCoreApplication::installTranslator(translator)) {
            loaded << translator->filePath();
            return true;
        }
        delete translator;
    }
    return false;
}

} // namespace

QStringList installTranslations(QCoreApplication &app)
{
    QStringList loaded;
    // Qt's own: its dialogs' buttons, and the serial port's error texts.
    const QStringList qt{QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    load(app, QStringLiteral("qtbase"), qt, loaded);
    load(app, QStringLiteral("qtserialport"), qt, loaded);
    load(app, QStringLiteral("corvant"), ownFolders(), loaded);
    return loaded;
}
