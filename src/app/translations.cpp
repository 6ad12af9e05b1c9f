#include "app/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// The program's own files: the build's for a program (or a test) run from the
// build tree, so that it never shows an older installed translation; beside
// the installed program whatever prefix it was installed under (a package's
// /usr, or /opt/corvant); and where the build would install them.
QStringList ownFolders()
{
    QStringList folders;
    const QString program = QCoreApplication::applicationDirPath();
    if (program.startsWith(QStringLiteral(CORVANT_BUILD_DIR "/")))
        folders << QStringLiteral(CORVANT_BUILD_TRANSLATIONS_DIR);
    folders << QDir::cleanPath(program + QStringLiteral("/" CORVANT_TRANSLATIONS_FROM_PROGRAM))
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
    load(app, QStringLiteral("qtbase"), {QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
         loaded);
    load(app, QStringLiteral("corvant"), ownFolders(), loaded);
    return loaded;
}
