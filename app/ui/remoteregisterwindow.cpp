#include "app/ui/remoteregisterwindow.h"

#include "app/config/texts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

// ---------------------------------------------------------------- window

namespace {
QHash<QString, QPointer<RemoteRegisterWindow>>& openWindows()
{
    static QHash<QString, QPointer<RemoteRegisterWindow>> windows;
    return windows;
}

QString groupCaption(const char* id)
{
    return QLatin1Char(' ') + GetText(QLatin1String(id)) + QLatin1Char(' ');
}
} // namespace

RemoteRegisterWindow* RemoteRegisterWindow::findOpen(const QString& gateUID)
{
    auto it = openWindows().constFind(gateUID);
    return it == openWindows().constEnd() ? nullptr : it.value().data();
}

RemoteRegisterWindow* RemoteRegisterWindow::open(const SettingsList& params, const QString& configFolder,
                                                 const QString& gateName, QWidget* parent, bool* created)
{
    if (RemoteRegisterWindow* w = findOpen(params.value(QStringLiteral("gateUID")))) {
        if (created)
            *created = false;
        // Inside the main window's document area the frame around the window is what
        // comes to the front.
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) {
            if (QMdiArea* area = sub->mdiArea())
                area->setActiveSubWindow(sub);
            sub->raise();
        } else {
            w->raise();
            w->activateWindow();
        }
        return w;
    }
    auto* w = new RemoteRegisterWindow(configFolder, parent);
    w->setWindowTitle(GetText(QStringLiteral("0147")) + QStringLiteral(" [") + gateName + QLatin1Char(']'));
    w->start(params);
    if (created)
        *created = true;
    return w;
}

RemoteRegisterWindow::RemoteRegisterWindow(const QString& configFolder, QWidget* parent)
    : QWidget(parent), m_configFolder(configFolder)
{
    setAttribute(Qt::WA_DeleteOnClose);
    buildUi();
}

RemoteRegisterWindow::~RemoteRegisterWindow()
{
    auto it = openWindows().find(m_gateUID);
    if (it != openWindows().end() && (it.value().isNull() || it.value().data() == this))
        openWindows().erase(it);
}

void RemoteRegisterWindow::buildUi()
{
    auto* root = new QVBoxLayout(this);

    m_tabs = new QTabBar(this);
    m_tabs->addTab(GetText(QStringLiteral("0149")));
    m_tabs->addTab(GetText(QStringLiteral("0150")));
    m_tabs->addTab(GetText(QStringLiteral("0151")));
    root->addWidget(m_tabs);

    auto* body = new QHBoxLayout;
    root->addLayout(body, 1);

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({GetText(QStringLiteral("0202"))});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    body->addWidget(m_list, 1);

    auto* right = new QVBoxLayout;
    body->addLayout(right, 1);

    m_name = new QLabel(this);
    right->addWidget(m_name);

    m_decisionGroup = new QGroupBox(this);
    auto* decision = new QHBoxLayout(m_decisionGroup);
    m_activate = new QRadioButton(GetText(QStringLiteral("0155")), m_decisionGroup);
    m_ignore = new QRadioButton(GetText(QStringLiteral("0156")), m_decisionGroup);
    // Both are off while a request is undecided, which exclusive buttons cannot show.
    m_activate->setAutoExclusive(false);
    m_ignore->setAutoExclusive(false);
    decision->addWidget(m_activate);
    decision->addWidget(m_ignore);
    right->addWidget(m_decisionGroup);

    m_permGroup = new QGroupBox(groupCaption("0148"), this);
    auto* perms = new QVBoxLayout(m_permGroup);
    const char* permIds[RemoteRegisterEditor::kPermissions] = {"0157", "0158", "0159", "0160", "0161"};
    for (int i = 0; i < RemoteRegisterEditor::kPermissions; ++i) {
        m_perm[size_t(i)] = new QCheckBox(GetText(QLatin1String(permIds[i])), m_permGroup);
        perms->addWidget(m_perm[size_t(i)]);
        connect(m_perm[size_t(i)], &QCheckBox::clicked, this, [this, i](bool on) {
            m_editor->setPermission(i, on);
            showControls();
        });
    }
    right->addWidget(m_permGroup);

    m_voiceGroup = new QGroupBox(groupCaption("0163"), this);
    auto* voice = new QVBoxLayout(m_voiceGroup);
    m_slider = new QSlider(Qt::Horizontal, m_voiceGroup);
    m_slider->setRange(RemoteRegister::kMinVolume, RemoteRegister::kMaxVolume);
    m_level = new QLabel(m_voiceGroup);
    m_block = new QCheckBox(GetText(QStringLiteral("0162")), m_voiceGroup);
    voice->addWidget(m_slider);
    voice->addWidget(m_level);
    voice->addWidget(m_block);
    right->addWidget(m_voiceGroup);
    right->addStretch(1);

    m_editor = std::make_unique<RemoteRegisterEditor>(RemoteRegister::pathFor(m_configFolder, QString()));

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (m_updating)
            return;
        m_editor->setTab(index);
        showList();
        showControls();
    });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (m_updating)
            return;
        const QList<QTreeWidgetItem*> sel = m_list->selectedItems();
        m_editor->select(sel.isEmpty() ? QString() : sel.first()->data(0, Qt::UserRole).toString());
        showControls();
    });
    connect(m_activate, &QRadioButton::clicked, this, [this](bool on) {
        if (on)
            m_editor->clickActivate();
        showControls();
    });
    connect(m_ignore, &QRadioButton::clicked, this, [this](bool on) {
        if (on)
            m_editor->clickIgnore();
        showControls();
    });
    connect(m_block, &QCheckBox::clicked, this, [this](bool on) {
        m_editor->setBlock(on);
        showControls();
    });
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        if (m_updating)
            return;
        m_editor->sliderMoved(value);
        // Keys, the wheel and page clicks move the slider without a mouse release: store
        // those at once so the shown level is always the stored one.
        if (!m_slider->isSliderDown())
            m_editor->sliderReleased();
        showControls();
    });
    connect(m_slider, &QSlider::sliderReleased, this, [this] { m_editor->sliderReleased(); });

    showControls();
}

void RemoteRegisterWindow::start(const SettingsList& params)
{
    const QString oldUID = m_gateUID;
    m_gateUID = params.value(QStringLiteral("gateUID"));
    if (!oldUID.isEmpty() && openWindows().value(oldUID).data() == this)
        openWindows().remove(oldUID);
    openWindows().insert(m_gateUID, this);

    m_editor = std::make_unique<RemoteRegisterEditor>(RemoteRegister::pathFor(m_configFolder, m_gateUID));
    m_editor->start();
    showList();
    showControls();
}

void RemoteRegisterWindow::showList()
{
    m_updating = true;
    m_tabs->setCurrentIndex(m_editor->tab());
    m_list->clear();
    for (const RemoteRegister::User& u : m_editor->users()) {
        auto* item = new QTreeWidgetItem(m_list, QStringList{RemoteRegisterEditor::caption(u)});
        item->setData(0, Qt::UserRole, u.uid);
    }
    m_list->clearSelection();
    m_list->setCurrentItem(nullptr);
    m_updating = false;
}

void RemoteRegisterWindow::showControls()
{
    m_updating = true;
    const RemoteRegisterEditor& e = *m_editor;
    m_name->setText(e.nameLabel());
    m_name->setEnabled(e.controlsEnabled());
    m_decisionGroup->setEnabled(e.controlsEnabled());
    m_permGroup->setEnabled(e.controlsEnabled());
    m_voiceGroup->setEnabled(e.controlsEnabled());
    m_activate->setChecked(e.activateOn());
    m_ignore->setChecked(e.ignoreOn());
    for (int i = 0; i < RemoteRegisterEditor::kPermissions; ++i)
        m_perm[size_t(i)]->setChecked(e.permission(i));
    m_block->setChecked(e.blockOn());
    m_slider->setValue(e.sliderValue());
    m_slider->setEnabled(e.sliderEnabled());
    m_level->setText(e.levelLabel());
    m_updating = false;
}
