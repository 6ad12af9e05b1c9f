#include "settings/appsettings.h"

#include "download/linksettings.h"
#include "settings/wholenumber.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kSettings = QStringLiteral("settings");
const QString kFormMain = QStringLiteral("formmain");
const QString kNiceLabel = QStringLiteral("nicelabel");
const QString kPorts = QStringLiteral("ports");

qint32 readInteger(const ProfileFile &file, const QString &section, const QString &key,
                   qint32 fallback)
{
    return parseWholeNumber(file.read(section, key, QString())).value_or(fallback);
}

} // namespace

QString AppSettings::fileName(const QString &programPath)
{
    const QFileInfo program(programPath);
    QString name = program.fileName();
    const QString suffix = program.suffix();
    if (!suffix.isEmpty())
        name.remove(name.indexOf(QLatin1Char('.') + suffix), suffix.size() + 1);
    return name + QStringLiteral(".ini");
}

QString AppSettings::location(const QString &bareName)
{
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return QDir(folder).filePath(bareName);
}

AppSettings AppSettings::read(const ProfileFile &file, const QString &defaultPort)
{
    AppSettings settings;
    settings.comPort = file.read(kSettings, QStringLiteral("comport"), defaultPort);
    settings.file = file.read(kSettings, QStringLiteral("file"), QString());
    settings.left = readInteger(file, kFormMain, QStringLiteral("left"), kNoPosition);
    settings.top = readInteger(file, kFormMain, QStringLiteral("top"), kNoPosition);
    settings.labelFile = file.read(kNiceLabel, QStringLiteral("filename"), settings.labelFile);
    settings.firmwareVariable
        = file.read(kNiceLabel, QStringLiteral("varname1"), settings.firmwareVariable);
    settings.codesVariable
        = file.read(kNiceLabel, QStringLiteral("varname2"), settings.codesVariable);
    settings.ports = readPorts(file);
    return settings;
}

SerialPorts::Overrides AppSettings::readPorts(const ProfileFile &file)
{
    SerialPorts::Overrides ports;
    for (const QString &key : file.keys(kPorts)) {
        if (!key.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const int number = key.mid(3).toInt(&ok, 10);
        if (ok && LinkSettings::isComNumber(number))
            ports.insert(number, file.read(kPorts, key, QString()));
    }
    return ports;
}

bool AppSettings::write(ProfileFile &target, const AppSettings &read) const
{
    struct Key {
        const QString &section;
        const char *name;
        QString value;
        QString before;
    };
    const Key keys[] = {
        {kSettings, "comport", comPort, read.comPort},
        {kSettings, "file", file, read.file},
        {kFormMain, "left", QString::number(left), QString::number(read.left)},
        {kFormMain, "top", QString::number(top), QString::number(read.top)},
        {kNiceLabel, "filename", labelFile, read.labelFile},
        {kNiceLabel, "varname1", firmwareVariable, read.firmwareVariable},
        {kNiceLabel, "varname2", codesVariable, read.codesVariable},
    };
    // Whether a key is missing is decided under the file's lock.
    QList<ProfileFile::Change> changes;
    for (const Key &key : keys)
        changes.append({key.section, QLatin1String(key.name), key.value, key.value == key.before});
    return target.write(changes);
}
