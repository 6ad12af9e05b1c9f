#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// The program's own files: installed, or the build's for a program (or a
// test) that runs from the build tree, so that it never shows an older
// installed translation.
QStringList ownFolders()
{
    const QString installed = QStringLiteral(CORVANT_TRANSLATIONS_DIR);
    const QString buildTree = QStringLiteral(CORVANT_BUILD_DIR "/");
    if (QCoreApplication::applicationDirPath().startsWith(buildTree))
        return {QStringLiteral(CORVANT_BUILD_TRANSLATIONS_DIR), installed};
    return {installed};
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
