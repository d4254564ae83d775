#include "app/ui/gatewaylistwindow.h"

#include "app/config/globalfunct.h"
#include "app/config/texts.h"
#include "app/ui/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kUidProperty = "gateUID";
const char* const kGatewayEntryProperty = "rdGatewayEntry";

QString forDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QString withName(const char* id, const QString& gateName)
{
    return GetText(QString::fromLatin1(id)) + QLatin1Char('\r') + QStringLiteral(">> ") + gateName;
}

// The row icons: a radio mast, with a green start mark when the gateway starts itself.
QIcon gatewayIcon(bool autorun)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x40, 0x60), 1.6));
    p.drawLine(QPointF(6, 3), QPointF(6, 14));
    p.drawLine(QPointF(3, 14), QPointF(9, 14));
    p.drawArc(QRectF(1, 0, 10, 8), 30 * 16, 120 * 16);
    p.drawArc(QRectF(3, 2, 6, 4), 30 * 16, 120 * 16);
    if (autorun) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1e, 0x9e, 0x3c));
        const QPointF tri[3] = {QPointF(9, 6), QPointF(15, 10), QPointF(9, 14)};
        p.drawPolygon(tri, 3);
    }
    return QIcon(pm);
}

} // namespace

// ------------------------------------------------------------------ gateway files

namespace gatewayfiles {

QStringList fileNames(const QString& cfgFolder)
{
    if (cfgFolder.isEmpty())
        return {};
    return QDir(cfgFolder).entryList({QStringLiteral("*.rdk")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

std::optional<SettingsList> read(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<SettingsList> list = DecodeSettings(f.readAll());
    if (!list || list->value(QStringLiteral("gateUID")).isEmpty())
        return std::nullopt;
    return list;
}

QList<GatewayEntry> readAll(const QString& cfgFolder)
{
    QList<GatewayEntry> out;
    const QDir dir(cfgFolder);
    for (const QString& name : fileNames(cfgFolder)) {
        const QString path = dir.filePath(name);
        const std::optional<SettingsList> gw = read(path);
        if (!gw)
            continue;
        GatewayEntry e;
        e.gateUID = gw->value(QStringLiteral("gateUID"));
        e.fileName = name;
        e.path = path;
        e.gateName = gw->value(QStringLiteral("gateName"));
        e.activTime = gw->value(QStringLiteral("activTime"));
        e.autorun = gw->boolValue(QStringLiteral("gateAutorun"));
        out.append(e);
    }
    return out;
}

QString registrationPath(const QString& gatewayPath)
{
    const QFileInfo fi(gatewayPath);
    return fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".rem"));
}

bool remove(const QString& gatewayPath)
{
    const QString rem = registrationPath(gatewayPath);
    for (const QString& p : {gatewayPath, rem})
        if (QFileInfo::exists(p))
            QFile::remove(p);
    return !QFileInfo::exists(gatewayPath) && !QFileInfo::exists(rem);
}

} // namespace gatewayfiles

// ------------------------------------------------------------------ dialogs

GatewayDialogs GatewayDialogs::messageBoxes(QWidget* parent)
{
    GatewayDialogs d;
    const QString title = GetGeneralText(QStringLiteral("NAME"));
    d.askYesNo = [parent, title](const QString& q) {
        return QMessageBox::question(parent ? parent : QApplication::activeWindow(), title, forDisplay(q),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    d.error = [parent, title](const QString& text) {
        QMessageBox::critical(parent ? parent : QApplication::activeWindow(), title, forDisplay(text),
                              QMessageBox::Abort);
    };
    d.information = [parent, title](const QString& text) {
        QMessageBox::information(parent ? parent : QApplication::activeWindow(), title, forDisplay(text),
                                 QMessageBox::Ok);
    };
    d.inputName = [parent](const QString& caption, const QString& prompt) -> std::optional<QString> {
        bool ok = false;
        const QString name = QInputDialog::getText(parent ? parent : QApplication::activeWindow(), caption, prompt,
                                                   QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return name;
    };
    return d;
}

GatewayDialogs& GatewayDialogs::current()
{
    static GatewayDialogs dialogs = messageBoxes(nullptr);
    return dialogs;
}

// ------------------------------------------------------------------ actions

GatewayActions::GatewayActions(MainWindow& main) : m_main(main) {}

bool GatewayActions::isActive(const QString& gateUID) const
{
    for (GatewayEndpoint* gw : m_main.gatewaysInWindowOrder())
        if (gw->gateUID().compare(gateUID, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void GatewayActions::stop(const QString& gateUID)
{
    for (GatewayEndpoint* gw : m_main.gatewaysInWindowOrder())
        if (gw->gateUID().compare(gateUID, Qt::CaseInsensitive) == 0) {
            gw->CloseGateway();
            return;
        }
}

QWidget* GatewayActions::open(const QString& path, const QString& caption)
{
    SettingsList params;
    params.setValue(QStringLiteral("CFG_FILE"), path);
    return m_main.OpenNewChildWindow(ChildKind::Gateway, caption, params, false);
}

void GatewayActions::startStop(const GatewayEntry& gw)
{
    if (isActive(gw.gateUID))
        stop(gw.gateUID);
    else
        open(gw.path, gw.gateName);
}

QWidget* GatewayActions::findWindowFor(ChildKind kind, const QString& gateUID) const
{
    for (QWidget* child : m_main.childWindows()) {
        auto* cw = dynamic_cast<ChildWindow*>(child);
        if (cw && cw->childKind() == kind &&
            child->property(kUidProperty).toString().compare(gateUID, Qt::CaseInsensitive) == 0)
            return child;
    }
    return nullptr;
}

void GatewayActions::bringToFront(QWidget* child) const
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget())) {
        sub->show();
        sub->showNormal();
        if (QMdiArea* area = sub->mdiArea())
            area->setActiveSubWindow(sub);
    }
}

QWidget* GatewayActions::edit(const QString& gateUID, const QString& path)
{
    if (QWidget* open = findWindowFor(ChildKind::GatewaySetup, gateUID)) {
        bringToFront(open);
        return open;
    }
    SettingsList params;
    params.setBool(QStringLiteral("loadConfig"), true);
    params.setValue(QStringLiteral("CFG_FILE"), path);
    QWidget* w = m_main.OpenNewChildWindow(ChildKind::GatewaySetup, GetText(QStringLiteral("0701")), params, false);
    if (w)
        w->setProperty(kUidProperty, gateUID);
    return w;
}

bool GatewayActions::remove(const GatewayEntry& gw)
{
    GatewayDialogs& dlg = GatewayDialogs::current();
    if (isActive(gw.gateUID)) {
        dlg.error(GetText(QStringLiteral("0219")));
        return false;
    }
    if (!dlg.askYesNo(withName("0208", gw.gateName)))
        return false;
    if (!gatewayfiles::remove(gw.path)) {
        dlg.error(GetText(QStringLiteral("0209")));
        return false;
    }
    return true;
}

QWidget* GatewayActions::registrations(const QString& gateUID, const QString& path, const QString& gateName)
{
    if (QWidget* open = findWindowFor(ChildKind::RemoteUsers, gateUID)) {
        bringToFront(open);
        return open;
    }
    SettingsList params;
    params.setValue(QStringLiteral("gateUID"), gateUID);
    params.setValue(QStringLiteral("CFG_FILE"), path);
    params.setValue(QStringLiteral("gateName"), gateName);
    QWidget* w = m_main.OpenNewChildWindow(
        ChildKind::RemoteUsers, GetText(QStringLiteral("0147")) + QStringLiteral(" [") + gateName + QLatin1Char(']'),
        params, false);
    if (w)
        w->setProperty(kUidProperty, gateUID);
    return w;
}

QWidget* GatewayActions::createNew()
{
    const std::optional<QString> name =
        GatewayDialogs::current().inputName(GetText(QStringLiteral("0703")), GetText(QStringLiteral("0704")));
    // A gateway without a name could never be opened again, so a blank name counts as Cancel.
    if (!name || name->trimmed().isEmpty())
        return nullptr;
    SettingsList params;
    params.setBool(QStringLiteral("loadConfig"), false);
    params.setBool(QStringLiteral("setGateName"), true);
    params.setValue(QStringLiteral("newGateName"), name->trimmed());
    return m_main.OpenNewChildWindow(ChildKind::GatewaySetup, GetText(QStringLiteral("0701")), params, false);
}

// ------------------------------------------------------------------ the Gateway menu

void RebuildGatewayMenu(QMenu* menu, MainWindow& main)
{
    for (QMenu* old : menu->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
        if (old->property(kGatewayEntryProperty).toBool())
            delete old;
    const QList<QAction*> actions = menu->actions();
    for (int i = 3; i < actions.size(); ++i) {
        menu->removeAction(actions[i]);
        if (actions[i]->parent() == menu)
            delete actions[i];
    }

    GatewayActions acts(main);
    MainWindow* m = &main;
    QStyle* st = menu->style();
    for (const GatewayEntry& gw : gatewayfiles::readAll(main.configFolder())) {
        auto* sub = new QMenu(QLatin1Char('&') + gw.gateName, menu);
        sub->setProperty(kGatewayEntryProperty, true);
        sub->setIcon(gatewayIcon(gw.autorun));
        const bool running = acts.isActive(gw.gateUID);
        QAction* startStop = sub->addAction(st->standardIcon(running ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay),
                                            GetText(QString::fromLatin1(running ? "0216" : "0204")));
        QObject::connect(startStop, &QAction::triggered, menu,
                         [m, gw] { m->guarded([&] { GatewayActions(*m).startStop(gw); }); });
        sub->addSeparator()->setEnabled(false);
        QAction* edit =
            sub->addAction(st->standardIcon(QStyle::SP_FileDialogDetailedView), GetText(QStringLiteral("0205")));
        QObject::connect(edit, &QAction::triggered, menu,
                         [m, gw] { m->guarded([&] { GatewayActions(*m).edit(gw.gateUID, gw.path); }); });
        QAction* del = sub->addAction(st->standardIcon(QStyle::SP_TrashIcon), GetText(QStringLiteral("0206")));
        del->setEnabled(!running);
        QObject::connect(del, &QAction::triggered, menu,
                         [m, gw] { m->guarded([&] { GatewayActions(*m).remove(gw); }); });
        QAction* regs =
            sub->addAction(st->standardIcon(QStyle::SP_FileDialogContentsView), GetText(QStringLiteral("0218")));
        QObject::connect(regs, &QAction::triggered, menu, [m, gw] {
            m->guarded([&] { GatewayActions(*m).registrations(gw.gateUID, gw.path, gw.gateName); });
        });
        menu->addMenu(sub);
    }
}

// ------------------------------------------------------------------ the list window

GatewayListWindow::GatewayListWindow(MainWindow& main, QWidget* parent) : QWidget(parent), m_main(main)
{
    setWindowTitle(GetText(QStringLiteral("0201")));

    auto* heading = new QLabel(GetText(QStringLiteral("0212")), this);
    QFont hf = heading->font();
    hf.setBold(true);
    heading->setFont(hf);
    m_refresh = new QToolButton(this);
    m_refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    m_refresh->setToolTip(QStringLiteral("[F5] ") + GetText(QStringLiteral("0210")));
    m_refresh->setAutoRaise(true);
    m_new = new QToolButton(this);
    m_new->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    m_new->setToolTip(QStringLiteral("[F3] ") + GetText(QStringLiteral("0211")));
    m_new->setAutoRaise(true);
    auto* top = new QHBoxLayout;
    top->addWidget(heading, 1);
    top->addWidget(m_new);
    top->addWidget(m_refresh);

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(4);
    m_list->setHeaderLabels({GetText(QStringLiteral("0202")), GetText(QStringLiteral("0203")), QStringLiteral("path"),
                             QStringLiteral("gateUID")});
    m_list->setColumnHidden(PathColumn, true);
    m_list->setColumnHidden(UidColumn, true);
    m_list->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(LastUsedColumn, QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setAlternatingRowColors(true);

    m_hideAutostart = new QCheckBox(GetText(QStringLiteral("0213")), this);

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(6, 6, 6, 6);
    lay->addLayout(top);
    lay->addWidget(m_list, 1);
    lay->addWidget(m_hideAutostart);
    setFixedSize(400, 320);

    m_menu = new QMenu(this);
    QStyle* st = style();
    connect(m_menu->addAction(st->standardIcon(QStyle::SP_MediaPlay), GetText(QStringLiteral("0204"))),
            &QAction::triggered, this, [this] { m_main.guarded([this] { startStopSelected(); }); });
    m_menu->addSeparator();
    connect(m_menu->addAction(st->standardIcon(QStyle::SP_FileDialogDetailedView), GetText(QStringLiteral("0205"))),
            &QAction::triggered, this, [this] { m_main.guarded([this] { editSelected(); }); });
    connect(m_menu->addAction(st->standardIcon(QStyle::SP_TrashIcon), GetText(QStringLiteral("0206"))),
            &QAction::triggered, this, [this] { m_main.guarded([this] { deleteSelected(); }); });
    connect(m_menu->addAction(st->standardIcon(QStyle::SP_FileDialogContentsView), GetText(QStringLiteral("0218"))),
            &QAction::triggered, this, [this] { m_main.guarded([this] { registrationsSelected(); }); });
    m_menu->addSeparator();
    connect(m_menu->addAction(st->standardIcon(QStyle::SP_FileIcon), GetText(QStringLiteral("0207"))),
            &QAction::triggered, this, [this] { m_main.guarded([this] { newGateway(); }); });

    connect(m_refresh, &QToolButton::clicked, this, [this] { refresh(); });
    connect(m_new, &QToolButton::clicked, this, [this] { m_main.guarded([this] { newGateway(); }); });
    connect(m_hideAutostart, &QCheckBox::toggled, this, [this] { refresh(); });
    connect(m_list, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { contextMenu()->popup(m_list->viewport()->mapToGlobal(pos)); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* row) { m_main.guarded([&] { activateRow(row); }); });

    refresh();
}

void GatewayListWindow::refresh()
{
    m_list->clear();
    m_entries.clear();
    const bool hide = m_hideAutostart->isChecked();
    GatewayActions acts(m_main);
    for (const GatewayEntry& gw : gatewayfiles::readAll(m_main.configFolder())) {
        if (hide && gw.autorun)
            continue;
        auto* row = new QTreeWidgetItem(m_list);
        row->setIcon(NameColumn, gatewayIcon(gw.autorun));
        row->setText(NameColumn, gw.gateName);
        row->setText(LastUsedColumn,
                     acts.isActive(gw.gateUID)
                         ? QStringLiteral(" - ") + GetText(QStringLiteral("0214")) + QStringLiteral(" - ")
                         : gw.activTime);
        row->setText(PathColumn, gw.path);
        row->setText(UidColumn, gw.gateUID);
        if (gw.autorun)
            row->setToolTip(NameColumn, GetText(QStringLiteral("0217")));
        m_entries.append(gw);
    }
    m_list->sortItems(NameColumn, Qt::AscendingOrder);
}

void GatewayListWindow::setHideAutostart(bool hide)
{
    m_hideAutostart->setChecked(hide); // toggling refreshes
}

std::optional<GatewayEntry> GatewayListWindow::selectedGateway() const
{
    const QList<QTreeWidgetItem*> sel = m_list->selectedItems();
    if (sel.isEmpty())
        return std::nullopt;
    const QString path = sel.first()->text(PathColumn);
    for (const GatewayEntry& gw : m_entries)
        if (gw.path == path)
            return gw;
    return std::nullopt;
}

void GatewayListWindow::updateMenu()
{
    const QList<QAction*> a = m_menu->actions();
    const std::optional<GatewayEntry> gw = selectedGateway();
    const bool running = gw && GatewayActions(m_main).isActive(gw->gateUID);
    a[0]->setText(GetText(QString::fromLatin1(running ? "0216" : "0204")));
    a[0]->setIcon(style()->standardIcon(running ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
    a[0]->setEnabled(gw.has_value());
    a[2]->setEnabled(gw.has_value());
    a[3]->setEnabled(gw.has_value() && !running);
    a[4]->setEnabled(gw.has_value());
    a[6]->setEnabled(true);
}

QMenu* GatewayListWindow::contextMenu()
{
    updateMenu();
    return m_menu;
}

void GatewayListWindow::startStopSelected()
{
    if (const auto gw = selectedGateway())
        GatewayActions(m_main).startStop(*gw);
    refresh();
    // A stopped gateway window is freed from the event loop; show the row as stopped then.
    QTimer::singleShot(0, this, [this] { refresh(); });
}

void GatewayListWindow::activateRow(QTreeWidgetItem* row)
{
    if (!row)
        return;
    m_list->setCurrentItem(row);
    const auto gw = selectedGateway();
    if (!gw)
        return;
    GatewayActions acts(m_main);
    if (acts.isActive(gw->gateUID))
        GatewayDialogs::current().information(withName("0215", gw->gateName));
    else
        acts.open(gw->path, gw->gateName);
    refresh();
}

void GatewayListWindow::editSelected()
{
    if (const auto gw = selectedGateway())
        GatewayActions(m_main).edit(gw->gateUID, gw->path);
}

void GatewayListWindow::deleteSelected()
{
    if (const auto gw = selectedGateway())
        if (GatewayActions(m_main).remove(*gw))
            refresh();
}

void GatewayListWindow::registrationsSelected()
{
    if (const auto gw = selectedGateway())
        GatewayActions(m_main).registrations(gw->gateUID, gw->path, gw->gateName);
}

void GatewayListWindow::newGateway()
{
    GatewayActions(m_main).createNew();
}

void GatewayListWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F5) {
        m_refresh->click();
        return;
    }
    if (event->key() == Qt::Key_F3) {
        m_new->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void GatewayListWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The frame is as large as the fixed-size content and cannot be maximised.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->setOption(QMdiSubWindow::RubberBandResize, false);
}
