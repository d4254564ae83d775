#include "app/ui/appsetup_model.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace appsetup {

namespace {

const QString kLinkPort = QStringLiteral("LINK_PORT");
const QString kLinkExe = QStringLiteral("LINK_EXE");
const QString kLinkExit = QStringLiteral("LINK_EXIT");
const QString kMaxWin = QStringLiteral("appMAXWin");
const QString kMinWin = QStringLiteral("appMINWin");
const QString kExitDlg = QStringLiteral("appExitDlg");
const QString kLang = QStringLiteral("appLang");
const QString kHttpActive = QStringLiteral("HTTP_ACTIVE");
const QString kHttpPort = QStringLiteral("HTTP_PORT");
const QString kPlugDir = QStringLiteral("selPlugDir");
const QString kHttpHosts = QStringLiteral("HTTP_HOSTS");
const QString kDirectoryUrl = QStringLiteral("DIRECTORY_URL");
const QString kClientGen = QStringLiteral("LINK_CLIENT_GEN");

QString boolText(bool on)
{
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

QString withSeparator(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// A name the service sends that becomes one path component: no separators, no "." or
// "..", nothing hidden.
bool safeComponent(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.startsWith(QLatin1Char('.')) && !name.contains(QChar(0));
}

} // namespace

// ------------------------------------------------------------------------------ settings

int AppSetupModel::portNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 5)
        return -1;
    for (QChar c : t)
        if (!c.isDigit() || c.unicode() > 127)
            return -1;
    const int port = t.toInt();
    return port >= 1 && port <= 65535 ? port : -1;
}

QString AppSetupModel::linkPort() const
{
    return m_s.value(kLinkPort);
}

bool AppSetupModel::setLinkPort(const QString& text)
{
    const int port = portNumber(text);
    if (port < 0)
        return false;
    m_s.setValue(kLinkPort, QString::number(port));
    return true;
}

QString AppSetupModel::linkExe() const
{
    return m_s.value(kLinkExe);
}
void AppSetupModel::setLinkExe(const QString& path)
{
    m_s.setValue(kLinkExe, path);
}

StartOption AppSetupModel::startOption() const
{
    if (m_s.boolValue(kMaxWin))
        return StartOption::Maximized;
    if (m_s.boolValue(kMinWin))
        return StartOption::Minimized;
    return StartOption::Normal;
}

void AppSetupModel::setStartOption(StartOption option)
{
    m_s.setValue(kMaxWin, boolText(option == StartOption::Maximized));
    m_s.setValue(kMinWin, boolText(option == StartOption::Minimized));
}

bool AppSetupModel::endClient() const
{
    return m_s.boolValue(kLinkExit);
}
void AppSetupModel::setEndClient(bool on)
{
    m_s.setValue(kLinkExit, boolText(on));
}
bool AppSetupModel::exitQuestion() const
{
    return m_s.boolValue(kExitDlg);
}
void AppSetupModel::setExitQuestion(bool on)
{
    m_s.setValue(kExitDlg, boolText(on));
}

int AppSetupModel::languageIndex() const
{
    const QList<LanguageItem> items = languages();
    const QString current = AppLang();
    for (int i = 0; i < items.size(); ++i)
        if (items[i].code == current)
            return i;
    return -1;
}

void AppSetupModel::setLanguage(int index)
{
    const QList<LanguageItem> items = languages();
    if (index >= 0 && index < items.size())
        m_s.setValue(kLang, items[index].code);
}

bool AppSetupModel::httpActive() const
{
    return m_s.boolValue(kHttpActive);
}
void AppSetupModel::setHttpActive(bool on)
{
    m_s.setValue(kHttpActive, boolText(on));
}
QString AppSetupModel::httpPort() const
{
    return m_s.value(kHttpPort);
}

bool AppSetupModel::setHttpPort(const QString& text)
{
    const int port = portNumber(text);
    if (port < 0)
        return false;
    m_s.setValue(kHttpPort, QString::number(port));
    return true;
}

QString AppSetupModel::allowedHosts() const
{
    return m_s.value(kHttpHosts);
}
void AppSetupModel::setAllowedHosts(const QString& text)
{
    m_s.setValue(kHttpHosts, text.trimmed());
}
QString AppSetupModel::directoryUrl() const
{
    return m_s.value(kDirectoryUrl);
}
void AppSetupModel::setDirectoryUrl(const QString& text)
{
    m_s.setValue(kDirectoryUrl, text.trimmed());
}

QString AppSetupModel::pluginFolder() const
{
    const QString stored = m_s.value(kPlugDir);
    if (!stored.isEmpty())
        return stored;
    return DefaultPluginFolder();
}

void AppSetupModel::setPluginFolder(const QString& folder)
{
    m_s.setValue(kPlugDir, withSeparator(QDir::fromNativeSeparators(folder)));
}

QString AppSetupModel::clientGeneration() const
{
    const QString stored = m_s.value(kClientGen);
    return ClientGenerationMinor(stored) >= 0 ? stored : QLatin1String(kDefaultClientGeneration);
}

void AppSetupModel::setClientGeneration(const QString& generation)
{
    if (ClientGenerationMinor(generation) >= 0)
        m_s.setValue(kClientGen, generation.trimmed());
}

AppSetupModel::InstallStep AppSetupModel::install(const QString& sourceFile, const QString& folder,
                                                  const std::function<bool(const QString&)>& inUse)
{
    setPluginFolder(folder);
    const QString generation = clientGeneration();
    const QString workFolder = ClientWorkFolder(linkExe(), folder);
    if (workFolder.isEmpty() && ClientApiNeeded(generation) != 0)
        return {false, ApplyClientApi(workFolder, generation).text() + QStringLiteral("\r\r") +
                           GetExtraText(QStringLiteral("X033"))
                               .arg(GetText(QStringLiteral("0042")), GetText(QStringLiteral("0037")))};
    const InstallResult r = InstallPlugin(sourceFile, folder, inUse);
    if (!r.ok())
        return {false, r.message};
    const ClientApiChange api = ApplyClientApi(workFolder, generation);
    if (api.kind == ClientApiChange::Failed)
        return {false, api.text()};
    if (api.kind == ClientApiChange::Unchanged)
        return {true, r.message};
    return {true, r.message + QLatin1Char('\r') + api.text()};
}

// ---------------------------------------------------------------------- plugin versions

QString PluginSizeText(qint64 bytes)
{
    if (bytes > 1024)
        return QString::number(bytes / 1024) + QStringLiteral(" KB");
    return QString::number(bytes) + QStringLiteral(" Bytes");
}

QString PluginVersion::dateText() const
{
    return modified.date().toString(QStringLiteral("d.MM.yyyy"));
}

QString PluginVersion::sizeText() const
{
    return PluginSizeText(size);
}

QList<PluginVersion> ListPluginVersions(const QString& pluginDir, const QString& bundledFile)
{
    QList<PluginVersion> out;
    auto add = [&out](const QString& version, const QFileInfo& fi) {
        PluginVersion v;
        v.version = version;
        v.file = fi.absoluteFilePath();
        v.modified = fi.lastModified();
        v.size = fi.size();
        out.append(v);
    };
    if (!bundledFile.isEmpty()) {
        const QFileInfo fi(bundledFile);
        if (fi.isFile())
            add(GetGeneralText(QStringLiteral("VERS")), fi);
    }
    const QDir dir(pluginDir);
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QFileInfo fi(dir.filePath(sub + QLatin1Char('/') + QLatin1String(kVersionPluginFile)));
        if (fi.isFile())
            add(sub, fi);
    }
    return out;
}

// ---------------------------------------------------------------------------- updates

namespace {
class UnavailableUpdateService final : public PluginUpdateService {
public:
    void pluginList(ListDone done) override { done(false, {}, GetExtraText(QStringLiteral("X006"))); }
    void download(const PluginListEntry&, const QString&, DownloadDone done) override
    {
        done(false, GetExtraText(QStringLiteral("X006")));
    }
};
} // namespace

std::unique_ptr<PluginUpdateService> MakeUnavailableUpdateService()
{
    return std::make_unique<UnavailableUpdateService>();
}

QString FileMd5(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash h(QCryptographicHash::Md5);
    if (!h.addData(&f))
        return QString();
    return QString::fromLatin1(h.result().toHex());
}

QList<UpdateCheck::Box> UpdateCheck::boxes() const
{
    QList<Box> out;
    if (requestFailed) {
        out.append({true, error});
        return out;
    }
    if (failed > 0)
        out.append({true, QString::number(failed) + QStringLiteral(" => ") + GetText(QStringLiteral("0052"))});
    if (downloaded > 0)
        out.append({false, QString::number(downloaded) + QStringLiteral(" => ") + GetText(QStringLiteral("0051"))});
    if (failed == 0 && downloaded == 0)
        out.append({false, GetText(QStringLiteral("0053"))});
    return out;
}

namespace {

// One update check under way: the list, the entry next in turn and the counts so far. The
// callbacks handed to the service hold it; it ends with the last of them.
struct UpdateRun {
    PluginUpdateService& service;
    QString base;
    std::function<void(const UpdateCheck&)> done;
    QList<PluginListEntry> entries;
    qsizetype next = 0;
    UpdateCheck result;
};

void finishRun(std::shared_ptr<UpdateRun> run) // by value: done may destroy the callback holding it
{
    // Once only, even should the caller start another check from done.
    std::function<void(const UpdateCheck&)> done;
    std::swap(done, run->done);
    if (done)
        done(run->result);
}

// Works through the entries from run->next until one needs a download (which continues
// here when it is through) or the list ends.
void continueRun(std::shared_ptr<UpdateRun> run)
{
    while (run->next < run->entries.size()) {
        const PluginListEntry e = run->entries[run->next++];
        if (e.ident.size() < 6 || e.file.size() < 8)
            continue;
        // The names become folder and file names here: nothing may lead out of the folder.
        if (!safeComponent(e.ident) || !safeComponent(e.file)) {
            ++run->result.failed;
            continue;
        }
        const QString folder = run->base + e.ident;
        const QString target = folder + QLatin1Char('/') + e.file;
        const QString md5 = e.md5.trimmed().toLower();
        if (QFileInfo::exists(target) && FileMd5(target) != md5)
            QFile::remove(target);
        if (QFileInfo(folder).isDir() && QFileInfo::exists(target))
            continue; // present and intact
        if (!QDir().mkpath(folder)) {
            ++run->result.failed;
            continue;
        }
        run->service.download(e, target, [run, target, md5](bool ok, const QString&) {
            if (ok && QFileInfo::exists(target) && FileMd5(target) == md5) {
                ++run->result.downloaded;
            } else {
                QFile::remove(target);
                ++run->result.failed;
            }
            continueRun(run);
        });
        return;
    }
    finishRun(run);
}

} // namespace

void CheckForPluginUpdates(PluginUpdateService& service, const QString& pluginDir,
                           std::function<void(const UpdateCheck&)> done)
{
    auto run = std::make_shared<UpdateRun>(
        UpdateRun{service, withSeparator(QDir::fromNativeSeparators(pluginDir)), std::move(done), {}, 0, {}});
    service.pluginList([run](bool ok, const QList<PluginListEntry>& list, const QString& error) {
        if (!ok) {
            run->result.requestFailed = true;
            run->result.error = error.isEmpty() ? GetExtraText(QStringLiteral("X007")) : error;
            finishRun(run);
            return;
        }
        run->entries = list;
        continueRun(run);
    });
}

} // namespace appsetup
