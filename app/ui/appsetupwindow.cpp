#include "app/ui/appsetupwindow.h"

#include "app/config/texts.h"
#include "app/directory/directoryclient.h"
#include "app/ui/mainwindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using appsetup::StartOption;

namespace {

QString tx(const char* id)
{
    return GetText(QLatin1String(id));
}

QString groupTitle(const char* id)
{
    return QLatin1Char(' ') + tx(id) + QLatin1Char(' ');
}

QString messageText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

bool AppSetupModelPort(const QString& text)
{
    return appsetup::AppSetupModel::portNumber(text) > 0;
}

QLineEdit* portEdit(int maxDigits, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxDigits)), e));
    e->setMaxLength(maxDigits);
    e->setFixedWidth(80);
    return e;
}

} // namespace

AppSetupWindow::AppSetupWindow(Deps deps, QWidget* parent) : QWidget(parent), m_deps(std::move(deps))
{
    Q_ASSERT(m_deps.settings);
    m_model = std::make_unique<appsetup::AppSetupModel>(*m_deps.settings);
    setWindowTitle(tx("0015"));

    auto* root = new QHBoxLayout(this);
    auto* side = new QVBoxLayout;
    auto* save = new QToolButton(this);
    save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    save->setToolTip(tx("0061"));
    save->setAutoRaise(true);
    save->setIconSize(QSize(24, 24));
    connect(save, &QToolButton::clicked, this, [this] { saveAndClose(); });
    side->addWidget(save, 0, Qt::AlignLeft);

    static const char* const kCaptions[PageCount] = {"0037", "0031", "0033", "0040", "0041"};
    m_stack = new QStackedWidget(this);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < PageCount; ++i) {
        auto* b = new QToolButton(this);
        b->setText(tx(kCaptions[i]));
        b->setCheckable(true);
        b->setMinimumSize(130, 34);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group->addButton(b, i);
        side->addWidget(b);
        m_buttons[i] = b;
    }
    side->addStretch(1);
    root->addLayout(side);
    root->addWidget(m_stack, 1);

    m_stack->addWidget(buildGeneral());
    m_stack->addWidget(buildLanguage());
    m_stack->addWidget(buildWeb());
    m_stack->addWidget(buildPlugin());
    m_stack->addWidget(buildProgram());
    markPort(m_linkPort, AppSetupModelPort(m_linkPort->text()));
    markPort(m_httpPort, AppSetupModelPort(m_httpPort->text()));
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { showPage(id); });
    showPage(GeneralPage);
    resize(640, 380);
}

AppSetupWindow::~AppSetupWindow() = default;

void AppSetupWindow::showPage(int index)
{
    if (index < 0 || index >= PageCount)
        return;
    m_stack->setCurrentIndex(index);
    m_buttons[index]->setChecked(true);
    if (index == PluginPage)
        fillPluginList();
}

int AppSetupWindow::currentPage() const
{
    return m_stack->currentIndex();
}

void AppSetupWindow::markPort(QLineEdit* edit, bool valid)
{
    edit->setStyleSheet(valid ? QString() : QStringLiteral("QLineEdit { background: #ffd8d8; }"));
    edit->setToolTip(valid ? QString() : QStringLiteral("1 ... 65535"));
}

// --------------------------------------------------------------------------- pages

QWidget* AppSetupWindow::buildGeneral()
{
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);

    auto* link = new QGroupBox(groupTitle("0038"), page);
    auto* form = new QFormLayout(link);
    m_linkPort = portEdit(5, link);
    m_linkPort->setText(m_model->linkPort());
    form->addRow(tx("0039") + QStringLiteral(": "), m_linkPort);
    auto* exeRow = new QHBoxLayout;
    m_linkExe = new QLineEdit(m_model->linkExe(), link);
    auto* browse = new QToolButton(link);
    browse->setText(QStringLiteral("..."));
    exeRow->addWidget(m_linkExe, 1);
    exeRow->addWidget(browse);
    form->addRow(tx("0042") + QStringLiteral(": "), exeRow);
    v->addWidget(link);

    auto* start = new QGroupBox(groupTitle("0043"), page);
    auto* sv = new QVBoxLayout(start);
    static const char* const kStart[3] = {"0044", "0045", "0046"};
    auto* radios = new QButtonGroup(start);
    for (int i = 0; i < 3; ++i) {
        m_start[i] = new QRadioButton(tx(kStart[i]), start);
        radios->addButton(m_start[i], i);
        sv->addWidget(m_start[i]);
    }
    m_start[int(m_model->startOption())]->setChecked(true);
    m_endClient = new QCheckBox(tx("0047"), start);
    m_endClient->setChecked(m_model->endClient());
    m_exitQuestion = new QCheckBox(tx("0716"), start);
    m_exitQuestion->setChecked(m_model->exitQuestion());
    sv->addSpacing(6);
    sv->addWidget(m_endClient);
    sv->addWidget(m_exitQuestion);
    v->addWidget(start);
    v->addStretch(1);

    connect(m_linkPort, &QLineEdit::textChanged, this,
            [this](const QString& t) { markPort(m_linkPort, m_model->setLinkPort(t)); });
    connect(m_linkExe, &QLineEdit::textChanged, this, [this](const QString& t) { m_model->setLinkExe(t); });
    connect(browse, &QToolButton::clicked, this, [this] {
        QString path;
        if (m_deps.chooseFile)
            path = m_deps.chooseFile(m_model->linkExe());
        else
            path = QFileDialog::getOpenFileName(this, tx("0042"), QFileInfo(m_model->linkExe()).absolutePath());
        if (!path.isEmpty())
            m_linkExe->setText(QDir::toNativeSeparators(path));
    });
    connect(radios, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            m_model->setStartOption(StartOption(id));
    });
    connect(m_endClient, &QCheckBox::toggled, this, [this](bool on) { m_model->setEndClient(on); });
    connect(m_exitQuestion, &QCheckBox::toggled, this, [this](bool on) { m_model->setExitQuestion(on); });
    return page;
}

QWidget* AppSetupWindow::buildLanguage()
{
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    auto* group = new QGroupBox(groupTitle("0031"), page);
    auto* form = new QFormLayout(group);
    m_language = new QComboBox(group);
    m_language->setToolTip(tx("0032"));
    for (const LanguageItem& item : m_model->languages())
        m_language->addItem(item.name, item.code);
    m_language->setCurrentIndex(m_model->languageIndex());
    m_language->setMinimumWidth(180);
    form->addRow(tx("0031"), m_language);
    v->addWidget(group);
    v->addStretch(1);
    connect(m_language, &QComboBox::activated, this, [this](int index) { m_model->setLanguage(index); });
    return page;
}

QWidget* AppSetupWindow::buildWeb()
{
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    auto* group = new QGroupBox(groupTitle("0033"), page);
    auto* form = new QFormLayout(group);
    m_httpActive = new QCheckBox(tx("0034"), group);
    m_httpActive->setChecked(m_model->httpActive());
    // Five digits like the plugin port: a stored port above 9999 is shown as it is.
    m_httpPort = portEdit(5, group);
    m_httpPort->setText(m_model->httpPort());
    // Names besides IP addresses, localhost and this PC's own names that the web interface
    // answers (HTTP_HOSTS); any other name in a request is refused.
    m_httpHosts = new QLineEdit(m_model->allowedHosts(), group);
    m_httpHosts->setToolTip(GetExtraText(QStringLiteral("X002")));
    m_httpHosts->setPlaceholderText(QStringLiteral("relais.example.org"));
    form->addRow(m_httpActive);
    form->addRow(tx("0035"), m_httpPort);
    form->addRow(GetExtraText(QStringLiteral("X001")), m_httpHosts);
    auto* hostsHint = new QLabel(GetExtraText(QStringLiteral("X002")), group);
    hostsHint->setWordWrap(true);
    hostsHint->setStyleSheet(QStringLiteral("color: #606060;"));
    form->addRow(hostsHint);
    v->addWidget(group);
    v->addStretch(1);
    connect(m_httpHosts, &QLineEdit::textChanged, this, [this](const QString& t) { m_model->setAllowedHosts(t); });
    connect(m_httpActive, &QCheckBox::toggled, this, [this](bool on) { m_model->setHttpActive(on); });
    connect(m_httpPort, &QLineEdit::textChanged, this,
            [this](const QString& t) { markPort(m_httpPort, m_model->setHttpPort(t)); });
    return page;
}

QWidget* AppSetupWindow::buildPlugin()
{
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    auto* title = new QLabel(tx("1203"), page);
    title->setStyleSheet(QStringLiteral("font-weight: bold;"));
    v->addWidget(title);
    m_plugins = new QTreeWidget(page);
    m_plugins->setColumnCount(3);
    m_plugins->setHeaderLabels({tx("1200"), tx("1201"), tx("1202")});
    m_plugins->setRootIsDecorated(false);
    m_plugins->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_plugins->setToolTip(tx("0049"));
    v->addWidget(m_plugins, 1);
    auto* clientRow = new QHBoxLayout;
    clientRow->addWidget(new QLabel(GetExtraText(QStringLiteral("X032")) + QStringLiteral(": "), page));
    m_clientGeneration = new QComboBox(page);
    m_clientGeneration->addItems(appsetup::ClientGenerations());
    m_clientGeneration->setCurrentText(m_model->clientGeneration());
    clientRow->addWidget(m_clientGeneration);
    clientRow->addStretch(1);
    v->addLayout(clientRow);
    connect(m_clientGeneration, &QComboBox::currentTextChanged, this,
            [this](const QString& t) { m_model->setClientGeneration(t); });
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(new QLabel(GetExtraText(QStringLiteral("X003")) + QStringLiteral(": "), page));
    m_directoryUrl = new QLineEdit(m_model->directoryUrl(), page);
    m_directoryUrl->setPlaceholderText(GetExtraText(QStringLiteral("X011")));
    dirRow->addWidget(m_directoryUrl, 1);
    v->addLayout(dirRow);
    auto* row = new QHBoxLayout;
    m_directoryState = new QLabel(page);
    m_directoryState->setStyleSheet(QStringLiteral("color: #800000;"));
    row->addWidget(m_directoryState, 1);
    m_checkUpdates = new QPushButton(tx("0050"), page);
    row->addWidget(m_checkUpdates);
    v->addLayout(row);
    connect(m_directoryUrl, &QLineEdit::textChanged, this, [this](const QString& t) {
        m_model->setDirectoryUrl(t);
        if (m_deps.setDirectoryUrl)
            m_deps.setDirectoryUrl(m_model->directoryUrl());
        updateDirectoryState();
    });
    updateDirectoryState();
    connect(m_plugins, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { installVersion(m_plugins->indexOfTopLevelItem(item)); });
    connect(m_checkUpdates, &QPushButton::clicked, this, [this] { checkForUpdates(); });
    return page;
}

QWidget* AppSetupWindow::buildProgram()
{
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    auto* label = new QLabel(tx("0715"), page);
    label->setAlignment(Qt::AlignCenter);
    v->addStretch(1);
    v->addWidget(label);
    v->addStretch(1);
    return page;
}

// ------------------------------------------------------------------------- plugins

void AppSetupWindow::fillPluginList()
{
    m_versions = appsetup::ListPluginVersions(m_deps.pluginDir, m_deps.bundledPlugin);
    m_plugins->clear();
    for (const appsetup::PluginVersion& v : m_versions) {
        auto* item = new QTreeWidgetItem(QStringList{v.version, v.dateText(), v.sizeText()});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, QDir::toNativeSeparators(v.file));
        m_plugins->addTopLevelItem(item);
    }
    m_plugins->resizeColumnToContents(1);
    m_plugins->resizeColumnToContents(2);
}

void AppSetupWindow::installVersion(int row)
{
    if (row < 0 || row >= m_versions.size())
        return;
    const appsetup::PluginVersion version = m_versions[row];
    const QString start = m_model->pluginFolder();
    QString folder;
    if (m_deps.chooseFolder)
        folder = m_deps.chooseFolder(start);
    else
        folder = QFileDialog::getExistingDirectory(this, tx("0049"), start);
    if (folder.isEmpty())
        return;
    const QString question =
        version.version + QLatin1Char('\r') + tx("0049") + QStringLiteral("\r\r") + QDir::toNativeSeparators(folder);
    const bool yes = m_deps.ask ? m_deps.ask(question)
                                : QMessageBox::question(this, tx("0015"), messageText(question),
                                                        QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (!yes)
        return;
    const appsetup::AppSetupModel::InstallStep r =
        m_model->install(version.file, folder, m_deps.inUse ? m_deps.inUse : appsetup::IsFileInUse);
    showMessage(!r.ok, r.message);
}

bool AppSetupWindow::directoryConfigured() const
{
    return !m_deps.directoryConfigured || m_deps.directoryConfigured();
}

void AppSetupWindow::updateDirectoryState()
{
    if (m_checking)
        m_directoryState->setText(GetExtraText(QStringLiteral("X034")));
    else
        m_directoryState->setText(directoryConfigured() ? QString() : GetExtraText(QStringLiteral("X004")));
}

QString AppSetupWindow::directoryStateText() const
{
    return m_directoryState->text();
}

void AppSetupWindow::checkForUpdates()
{
    if (m_checking)
        return; // one check at a time: a second click while waiting asks nothing
    if (!directoryConfigured()) {
        // No address: nothing is asked, the page says why.
        showMessage(true, GetExtraText(QStringLiteral("X004")));
        return;
    }
    m_updateService = m_deps.service ? m_deps.service() : appsetup::MakeUnavailableUpdateService();
    if (!m_updateService)
        m_updateService = appsetup::MakeUnavailableUpdateService();
    m_checking = true;
    m_checkUpdates->setEnabled(false);
    updateDirectoryState();
    // The answers come through the service, which this window owns: a window gone with a
    // request out hears nothing.
    appsetup::CheckForPluginUpdates(*m_updateService, m_deps.pluginDir,
                                    [this](const appsetup::UpdateCheck& r) { finishUpdateCheck(r); });
}

void AppSetupWindow::finishUpdateCheck(const appsetup::UpdateCheck& r)
{
    // The check is over before any message shows, so that nothing a message box lets happen
    // meets a half-finished check.
    cancelUpdateCheck();
    if (r.requestFailed && m_deps.reportError)
        m_deps.reportError(r.error);
    if (r.downloaded > 0)
        fillPluginList();
    for (const appsetup::UpdateCheck::Box& box : r.boxes())
        showMessage(box.error, box.text);
}

void AppSetupWindow::cancelUpdateCheck()
{
    m_updateService.reset(); // answers still on their way are dropped with it
    m_checking = false;
    m_checkUpdates->setEnabled(true);
    updateDirectoryState();
}

void AppSetupWindow::showMessage(bool error, const QString& text)
{
    if (m_deps.message) {
        m_deps.message(error, text);
        return;
    }
    if (error)
        QMessageBox::critical(this, tx("0015"), messageText(text), QMessageBox::Abort);
    else
        QMessageBox::information(this, tx("0015"), messageText(text), QMessageBox::Ok);
}

// ------------------------------------------------------------------------- closing

bool AppSetupWindow::saveSettings()
{
    m_saved = true;
    if (!m_deps.save || m_deps.save())
        return true;
    showMessage(true, GetExtraText(QStringLiteral("X008")));
    return false;
}

void AppSetupWindow::saveAndClose()
{
    saveSettings();
    if (QWidget* frame = parentWidget())
        frame->close();
    else
        close();
}

void AppSetupWindow::closeEvent(QCloseEvent* event)
{
    // A closed window takes no more answers; a download under way writes nothing.
    if (m_checking)
        cancelUpdateCheck();
    if (!m_saved)
        saveSettings();
    event->accept();
}

// ---------------------------------------------------------------------------------------

namespace {

class DirectoryPluginService final : public appsetup::PluginUpdateService {
public:
    DirectoryPluginService(DirectoryClient& client, QString appUid) : m_client(&client), m_appUid(std::move(appUid)) {}

    void pluginList(ListDone done) override
    {
        if (!m_client) {
            done(false, {}, GetExtraText(QStringLiteral("X006")));
            return;
        }
        SettingsList items;
        items.setValue(QStringLiteral("appUID"), m_appUid);
        // The answer goes to this service's guard: with the service gone it is dropped. The
        // callbacks use nothing of the service, which done may destroy.
        m_client->EmpfangeVonWavenest(QStringLiteral("ts3plugin.php"),
                                      DirectoryClient::actionParams(QStringLiteral("SHOW-NEW"), items), &m_guard,
                                      [done = std::move(done)](const PluginListReply& r) {
                                          if (!r.error.isEmpty()) {
                                              done(false, {}, QStringLiteral("Directory service: ") + r.error);
                                              return;
                                          }
                                          QList<appsetup::PluginListEntry> out;
                                          if (r.list) { // an answer without a plugin list counts as an empty list
                                              for (const PluginVersion& v : *r.list)
                                                  out.append({v.ident, v.md5, v.sha1, v.file});
                                          }
                                          done(true, out, QString());
                                      });
    }

    void download(const appsetup::PluginListEntry& e, const QString& target, DownloadDone done) override
    {
        if (!m_client) {
            done(false, GetExtraText(QStringLiteral("X006")));
            return;
        }
        SettingsList items;
        items.setValue(QStringLiteral("appUID"), m_appUid);
        items.setValue(QStringLiteral("plugVERS"), e.ident);
        items.setValue(QStringLiteral("plugFILE"), e.file);
        m_client->DownloadVonWavenest(QStringLiteral("download.php"), target, e.md5,
                                      DirectoryClient::actionParams(QStringLiteral("DOWNLOAD"), items), &m_guard,
                                      [done = std::move(done)](const DownloadReply& r) {
                                          if (r.ok)
                                              done(true, QString());
                                          else if (r.error.isEmpty())
                                              done(false, QStringLiteral("the file did not arrive intact"));
                                          else
                                              done(false, r.error);
                                      });
    }

private:
    QPointer<DirectoryClient> m_client;
    QString m_appUid;
    QObject m_guard; // context of the requests out
};

} // namespace

std::unique_ptr<appsetup::PluginUpdateService> MakeDirectoryPluginService(DirectoryClient* client,
                                                                          const QString& appUid)
{
    if (!client)
        return appsetup::MakeUnavailableUpdateService();
    return std::make_unique<DirectoryPluginService>(*client, appUid);
}

AppSetupWindow* CreateAppSetupWindow(MainWindow& main)
{
    AppSetupWindow::Deps d;
    d.settings = &main.globalConfig();
    d.pluginDir = main.folders().appPath + QStringLiteral("ts3plugin/");
    d.bundledPlugin = appsetup::BundledPluginFile(QCoreApplication::applicationDirPath());
    d.save = [&main] { return main.ConfigSpeichern(); };
    d.reportError = [&main](const QString& text) { main.applicationError(text); };
    d.service = [&main] {
        return MakeDirectoryPluginService(DirectoryClient::shared(),
                                          main.globalConfig().value(QStringLiteral("appUID")));
    };
    d.directoryConfigured = [] {
        const DirectoryClient* client = DirectoryClient::shared();
        return client && client->isConfigured();
    };
    d.setDirectoryUrl = [](const QString& url) {
        if (DirectoryClient* client = DirectoryClient::shared())
            client->setServiceUrl(DirectoryClient::configuredUrl(url));
    };
    return new AppSetupWindow(std::move(d));
}

void RegisterAppSetupWindow(MainWindow& main)
{
    main.setChildFactory(ChildKind::AppSetup, [](MainWindow& m, const QString&, const SettingsList&) -> QWidget* {
        return CreateAppSetupWindow(m);
    });
}
