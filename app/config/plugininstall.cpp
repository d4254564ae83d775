#include "app/config/plugininstall.h"

#include "app/config/texts.h"
#include "ini/ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace appsetup {

namespace {
QString withSeparator(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

const char* const kSection = "LINKSettings";
const char* const kClientApiKey = "ClientAPI";

std::filesystem::path fsPath(const QString& p)
{
    return std::filesystem::path(p.toStdU16String());
}

} // namespace

QStringList ClientGenerations()
{
    return {QStringLiteral("3.1"), QStringLiteral("3.3"), QStringLiteral("3.5"), QStringLiteral("3.6")};
}

int ClientGenerationMinor(const QString& generation)
{
    const QStringList parts = generation.trimmed().split(QLatin1Char('.'));
    if (parts.size() < 2 || parts.size() > 3 || parts[0] != QLatin1String("3") || parts[1].size() != 1 ||
        !parts[1][0].isDigit() || parts[1][0].unicode() > '9')
        return -1;
    if (parts.size() == 3) {
        bool ok = false;
        parts[2].toUInt(&ok);
        if (!ok || parts[2].startsWith(QLatin1Char('+')))
            return -1;
    }
    return parts[1][0].unicode() - '0';
}

int ClientApiNeeded(const QString& generation)
{
    const int minor = ClientGenerationMinor(generation);
    if (minor < 0)
        return 0;
#ifdef Q_OS_WIN
    return 0; // the plugin reads the client executable's version
#else
    // What the client accepts, and what the plugin picks from the client's Qt.
    const int wanted = minor <= 2 ? 21 : minor == 3 ? 23 : minor <= 5 ? 24 : 26;
    const int automatic = minor <= 2 ? 21 : 26;
    return wanted == automatic ? 0 : wanted;
#endif
}

QString ClientWorkFolder(const QString& clientProgram, const QString& pluginFolder)
{
    if (!clientProgram.trimmed().isEmpty())
        return QFileInfo(QDir::fromNativeSeparators(clientProgram.trimmed())).absolutePath();
    const QFileInfo plugins(QDir::cleanPath(QDir::fromNativeSeparators(pluginFolder)));
    if (pluginFolder.isEmpty() || plugins.fileName() != QLatin1String("plugins"))
        return QString();
    const QDir client = plugins.absoluteDir();
    for (const char* program : {"ts3client_runscript.sh", "ts3client_linux_amd64"})
        if (QFileInfo(client.filePath(QLatin1String(program))).isFile())
            return client.absolutePath();
    return QString();
}

QString ClientApiChange::text() const
{
    const QString file = QDir::toNativeSeparators(this->file);
    switch (kind) {
    case Written:
        return QStringLiteral("ClientAPI=%1 written to %2").arg(value, file);
    case Removed:
        return QStringLiteral("ClientAPI=%1 removed from %2").arg(value, file);
    case Failed:
        return message;
    case Unchanged:
        break;
    }
    return QString();
}

ClientApiChange ApplyClientApi(const QString& workFolder, const QString& generation)
{
    ClientApiChange c;
    const int needed = ClientApiNeeded(generation);
    if (workFolder.isEmpty()) {
        if (needed != 0) {
            c.kind = ClientApiChange::Failed;
            c.value = QString::number(needed);
            c.message = GetExtraText(QStringLiteral("X031")).arg(generation.trimmed(), c.value);
        }
        return c;
    }
    c.file = withSeparator(QDir::fromNativeSeparators(workFolder)) + QLatin1String(kPluginSettingsName);
    if (needed == 0 && !QFileInfo::exists(c.file))
        return c;
    const rdini::Text section = rdini::fromLatin1(kSection), key = rdini::fromLatin1(kClientApiKey);
    std::string error;
    QString old;
    const bool ok = rdini::edit(
        fsPath(c.file),
        [&](rdini::Document& doc) {
            if (const std::optional<rdini::Text> v = doc.value(section, key))
                old = QString::fromStdU16String(*v);
            if (needed != 0) {
                doc.setValue(section, key, QString::number(needed).toStdU16String());
                return;
            }
            // Every ClientAPI line: a second one would count once the first is gone.
            while (doc.removeKey(section, key)) {
            }
        },
        &error);
    if (!ok) {
        c.kind = ClientApiChange::Failed;
        c.message = QStringLiteral("ERROR [CODE:1]\n\n") + QString::fromStdString(error);
        return c;
    }
    if (needed != 0) {
        c.kind = ClientApiChange::Written;
        c.value = QString::number(needed);
    } else if (!old.isNull()) {
        c.kind = ClientApiChange::Removed;
        c.value = old;
    }
    return c;
}

bool IsFileInUse(const QString& path)
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    if (wanted.isEmpty())
        return false;
    const QByteArray needle = QFile::encodeName(wanted);
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid.isEmpty() || !pid.front().isDigit())
            continue;
        QFile maps(proc.filePath(pid + QStringLiteral("/maps")));
        if (!maps.open(QIODevice::ReadOnly))
            continue; // a process of another user, or one that has just ended
        const QByteArray all = maps.readAll();
        for (const QByteArray& line : all.split('\n')) {
            // address perms offset dev inode path
            const qsizetype slash = line.indexOf('/');
            if (slash > 0 && line.mid(slash) == needle)
                return true;
        }
    }
    return false;
}

InstallResult InstallPlugin(const QString& sourceFile, const QString& folder,
                            const std::function<bool(const QString&)>& inUse)
{
    InstallResult r;
    const QString dir = withSeparator(QDir::fromNativeSeparators(folder));
    r.target = dir + QLatin1String(kInstalledPluginName);
    auto fail = [&r](InstallStatus s, const QString& message) {
        r.status = s;
        r.message = message;
        return r;
    };
    if (!QFileInfo(sourceFile).isFile())
        return fail(InstallStatus::SourceMissing, QStringLiteral("ERROR [CODE:2]\n\n") +
                                                      GetExtraText(QStringLiteral("X009")) + QLatin1Char('\n') +
                                                      QDir::toNativeSeparators(sourceFile));
    if (!QFileInfo(dir).isDir())
        return fail(InstallStatus::FolderMissing, QStringLiteral("ERROR [CODE:1]\n\n") +
                                                      GetExtraText(QStringLiteral("X010")) + QLatin1Char('\n') +
                                                      QDir::toNativeSeparators(dir));
    if (QFileInfo::exists(r.target) && inUse && inUse(r.target))
        return fail(InstallStatus::InUse,
                    GetText(QStringLiteral("0073")) + QStringLiteral("\n\n") + GetText(QStringLiteral("0074")));

    QFile in(sourceFile);
    if (!in.open(QIODevice::ReadOnly))
        return fail(InstallStatus::CopyFailed, QStringLiteral("ERROR [CODE:1]\n\n") + in.errorString());
    // The new file is written beside the old one and renamed over it: a client that still
    // maps the old file keeps it intact, and a failed copy leaves the old plugin in place.
    QSaveFile out(r.target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(InstallStatus::CopyFailed, QStringLiteral("ERROR [CODE:1]\n\n") + out.errorString());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            break;
        if (out.write(chunk) != chunk.size())
            break;
    }
    if (in.error() != QFileDevice::NoError || out.error() != QFileDevice::NoError) {
        const QString why = in.error() != QFileDevice::NoError ? in.errorString() : out.errorString();
        out.cancelWriting();
        return fail(InstallStatus::CopyFailed, QStringLiteral("ERROR [CODE:1]\n\n") + why);
    }
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                       QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    if (!out.commit())
        return fail(InstallStatus::CopyFailed, QStringLiteral("ERROR [CODE:1]\n\n") + out.errorString());
    r.message = QStringLiteral("OK");
    return r;
}

QString DefaultPluginFolder()
{
    return QDir::homePath() + QStringLiteral("/.ts3client/plugins/");
}

QStringList BundledPluginCandidates(const QString& programDir)
{
    const QString name = QLatin1String(kInstalledPluginName);
    const QDir program(programDir);
    QStringList out{program.filePath(name),
                    QDir::cleanPath(program.filePath(QStringLiteral("../lib/relaydeck/") + name))};
    const QDir lib(QDir::cleanPath(program.filePath(QStringLiteral("../lib"))));
    for (const QString& sub : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (sub != QLatin1String("relaydeck"))
            out.append(lib.filePath(sub + QStringLiteral("/relaydeck/") + name));
    return out;
}

QString BundledPluginFile(const QString& programDir)
{
    const QStringList candidates = BundledPluginCandidates(programDir);
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile())
            return c;
    return candidates.first();
}

} // namespace appsetup
