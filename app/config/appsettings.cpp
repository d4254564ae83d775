#include "app/config/appsettings.h"

#include "app/config/globalfunct.h"
#include "app/config/inifile.h"
#include "app/config/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace {
QString withSlash(const QString& dir)
{
    QString d = QDir::cleanPath(QDir(dir).absolutePath());
    if (!d.endsWith(QLatin1Char('/')))
        d += QLatin1Char('/');
    return d;
}

const QString kDefaultLang = QStringLiteral("de_DE");
} // namespace

QString DateTimeText(const QDateTime& t)
{
    const QLocale loc = QLocale::system();
    QString timeFormat = loc.timeFormat(QLocale::LongFormat);
    // The long time format may end with a time zone ("t"); the stored text has none.
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return loc.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') + loc.toString(t.time(), timeFormat);
}

QString AppPaths::userDataDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (QCoreApplication::applicationName().isEmpty() || dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Relaydeck");
    return dir;
}

AppPaths AppPaths::forBase(const QString& baseDir, const QString& programDir)
{
    AppPaths p;
    p.appPath = withSlash(baseDir);
    p.programDir = withSlash(programDir.isEmpty() ? baseDir : programDir);
    p.cfgPath = p.appPath + QStringLiteral("config/");
    p.sndPath = p.appPath + QStringLiteral("sounds/");
    p.tmpPath = p.appPath + QStringLiteral("_tmp/");
    return p;
}

AppPaths AppPaths::resolve(const QStringList& arguments, const QString& programDir)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--home") && i + 1 < arguments.size())
            return forBase(arguments[i + 1], programDir);
        if (a.startsWith(QLatin1String("--home=")))
            return forBase(a.mid(7), programDir);
    }
    // An installed program (share/relaydeck beside its bin folder) never keeps its data in
    // the program folder, even for a user who may write there (root and /usr/bin).
    const QFileInfo fi(programDir);
    const bool installed = QFileInfo(QDir(programDir).filePath(QStringLiteral("../share/relaydeck"))).isDir();
    if (!installed && fi.isDir() && fi.isWritable())
        return forBase(programDir, programDir);
    return forBase(userDataDir(), programDir);
}

bool AppPaths::prepare(QString* error) const
{
    QDir d;
    for (const QString& dir : {appPath, cfgPath, sndPath, tmpPath}) {
        if (!d.mkpath(dir)) {
            if (error)
                *error = QStringLiteral("cannot create folder %1").arg(QDir::toNativeSeparators(dir));
            return false;
        }
    }
    // Generated files never survive a restart. Files still in use stay; nothing is said.
    QDir tmp(tmpPath);
    for (const QString& name : tmp.entryList(QDir::Files | QDir::Hidden | QDir::System))
        tmp.remove(name);
    const QString shipped = shippedSounds();
    if (!shipped.isEmpty()) {
        const QDir from(shipped);
        for (const QString& lang : from.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QDir langDir(from.filePath(lang));
            const QString target = sndPath + lang + QLatin1Char('/');
            for (const QString& name : langDir.entryList({QStringLiteral("*.wav")}, QDir::Files)) {
                if (QFileInfo::exists(target + name) || !d.mkpath(target))
                    continue;
                QFile::copy(langDir.filePath(name), target + name);
            }
        }
    }
    return true;
}

QString AppPaths::shippedSounds() const
{
    const QString here = QDir::cleanPath(sndPath);
    for (const QString& candidate :
         {programDir + QStringLiteral("sounds"), programDir + QStringLiteral("../share/relaydeck/sounds")}) {
        const QFileInfo fi(candidate);
        if (!fi.isDir())
            continue;
        if (QDir::cleanPath(fi.absoluteFilePath()) == here)
            return QString();
        return withSlash(QDir::cleanPath(fi.absoluteFilePath()));
    }
    return QString();
}

const QList<QPair<QString, QString>>& AppSettings::defaults()
{
    static const QList<QPair<QString, QString>> table = {
        {QStringLiteral("appLang"), kDefaultLang},
        {QStringLiteral("appUID"), QString()}, // computed
        {QStringLiteral("devPW"), QString()},
        {QStringLiteral("lastActiv"), QString()}, // computed
        {QStringLiteral("appMAXWin"), QStringLiteral("True")},
        {QStringLiteral("appMINWin"), QStringLiteral("False")},
        {QStringLiteral("appExitDlg"), QStringLiteral("True")},
        {QStringLiteral("MySupportAddr"), QString()},
        {QStringLiteral("selPlugDir"), QString()},
        {QStringLiteral("winTOP"), QStringLiteral("10")},
        {QStringLiteral("winLEFT"), QStringLiteral("10")},
        {QStringLiteral("winWIDTH"), QStringLiteral("800")},
        {QStringLiteral("winHEIGHT"), QStringLiteral("600")},
        {QStringLiteral("LINK_ACTIVE"), QStringLiteral("True")},
        {QStringLiteral("LINK_PORT"), QStringLiteral("26001")},
        {QStringLiteral("LINK_EXE"), QString()},
        {QStringLiteral("LINK_EXIT"), QStringLiteral("True")},
        {QStringLiteral("HTTP_PORT"), QStringLiteral("8011")},
        {QStringLiteral("HTTP_ACTIVE"), QStringLiteral("False")},
        {QStringLiteral("AUDIO_PREV_DEV"), QStringLiteral("-1")},
    };
    return table;
}

void AppSettings::load(const AppPaths& paths, bool applyLanguage)
{
    m_paths = paths;
    m_list.clear();
    m_loadProblem.clear();

    // Granting the logged-in user full access to the program folder has no counterpart
    // here: the folder's ordinary permissions decide.
    QString error;
    if (!m_paths.prepare(&error))
        m_loadProblem = error;

    const QString cfg = m_paths.mainCfg();
    const bool hadConfig = QFileInfo::exists(cfg);
    if (hadConfig) {
        if (auto loaded = LoadSettingsFile(cfg)) {
            m_list = *loaded;
        } else {
            // Keep the unreadable file for inspection; the next save replaces main.cfg.
            QFile::remove(cfg + QStringLiteral(".bak"));
            QFile::copy(cfg, cfg + QStringLiteral(".bak"));
            m_loadProblem = QStringLiteral("main.cfg could not be read; defaults are used (copy kept as main.cfg.bak)");
        }
    }

    // The installer's language hand-over. It normally lies in the base folder; with a
    // separate data folder the program folder is looked at too. A file that cannot be
    // deleted (read-only program folder) only counts on the very first start, so it
    // does not override the user's choice at every start.
    bool langSet = false;
    QStringList candidates{m_paths.appPath + QStringLiteral("firstrun.ini")};
    if (m_paths.programDir != m_paths.appPath)
        candidates.append(m_paths.programDir + QStringLiteral("firstrun.ini"));
    for (const QString& f : candidates) {
        if (!QFileInfo::exists(f))
            continue;
        const QString lang = IniFile(f).readString(QStringLiteral("setup"), QStringLiteral("language"), kDefaultLang);
        const bool removed = QFile::remove(f);
        if (removed || !hadConfig) {
            m_list.setValue(QStringLiteral("appLang"), lang.isEmpty() ? kDefaultLang : lang);
            langSet = true;
            break;
        }
    }
    if (!langSet && m_list.value(QStringLiteral("appLang")).isEmpty())
        m_list.setValue(QStringLiteral("appLang"), kDefaultLang);

    const QString now = DateTimeText(m_clock.now());
    for (const auto& [key, def] : defaults()) {
        if (m_list.contains(key))
            continue;
        if (key == QLatin1String("appUID"))
            m_list.setValue(key, QStringLiteral("[APP]#") + NewGuidText() + QStringLiteral("#[RDK4]"));
        else if (key == QLatin1String("lastActiv"))
            m_list.setValue(key, now);
        else
            m_list.setValue(key, def);
    }

    if (applyLanguage)
        SetAppLang(appLang());
    m_list.setValue(QStringLiteral("lastActiv"), now);
}

bool AppSettings::save(const std::optional<QRect>& normalGeometry)
{
    m_list.setValue(QStringLiteral("lastActiv"), DateTimeText(m_clock.now()));
    if (normalGeometry) {
        m_list.setInt(QStringLiteral("winTOP"), normalGeometry->top());
        m_list.setInt(QStringLiteral("winLEFT"), normalGeometry->left());
        m_list.setInt(QStringLiteral("winWIDTH"), normalGeometry->width());
        m_list.setInt(QStringLiteral("winHEIGHT"), normalGeometry->height());
    }
    if (m_paths.cfgPath.isEmpty())
        return false;
    QDir().mkpath(m_paths.cfgPath);
    return SaveSettingsFile(m_paths.mainCfg(), m_list);
}
