#include "app/config/plugininstall.h"

#include "app/config/texts.h"

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
} // namespace

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
