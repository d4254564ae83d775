#include "app/ui/windowlistwindow.h"

#include "app/config/texts.h"
#include "app/ui/artwork.h"
#include "app/ui/mainwindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const char* const kGroupTexts[] = {"0503", "0504", "0505", "0506"};
constexpr int kWidgetRole = Qt::UserRole + 1;
} // namespace

WindowListWindow::WindowListWindow(MainWindow& main, QWidget* parent) : QWidget(parent), m_main(main)
{
    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({GetText(QStringLiteral("0502")), QString()});
    m_tree->setRootIsDecorated(true);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    for (const char* id : kGroupTexts) {
        auto* group = new QTreeWidgetItem(m_tree, {GetText(QString::fromLatin1(id))});
        QFont f = group->font(0);
        f.setBold(true);
        group->setFont(0, f);
        group->setFirstColumnSpanned(true);
    }
    // A double click brings that window to the front.
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [](QTreeWidgetItem* item) {
        QPointer<QWidget> target = item->data(0, kWidgetRole).value<QPointer<QWidget>>();
        if (!target)
            return;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(target->parentWidget())) {
            sub->showNormal();
            if (QMdiArea* area = sub->mdiArea())
                area->setActiveSubWindow(sub);
        }
    });

    auto* refresh = new QToolButton(this);
    refresh->setObjectName(QStringLiteral("refresh"));
    refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    refresh->setToolTip(GetText(QStringLiteral("0507")));
    connect(refresh, &QToolButton::clicked, this, [this] { reload(); });
    m_auto = new QCheckBox(GetText(QStringLiteral("0508")), this);
    m_auto->setObjectName(QStringLiteral("autoRefresh"));
    connect(m_auto, &QCheckBox::toggled, this, [this](bool on) { setAutoRefresh(on); });
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { countdownTick(); });

    auto* bar = new QHBoxLayout;
    bar->addWidget(refresh);
    bar->addWidget(m_auto);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_tree);
    reload();
}

QSize WindowListWindow::sizeHint() const
{
    return QSize(460, 320);
}

void WindowListWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Opens at the top left corner of the window area.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->move(10, 10);
}

WindowListWindow::Group WindowListWindow::groupOf(QWidget* child)
{
    auto* cw = dynamic_cast<ChildWindow*>(child);
    if (!cw)
        return OtherGroup;
    switch (cw->childKind()) {
    case ChildKind::Gateway:
        return GatewayGroup;
    case ChildKind::ComStatus:
    case ChildKind::ComPortEditor:
        return ComPortGroup;
    case ChildKind::GatewaySetup:
        return SetupGroup;
    default:
        return OtherGroup;
    }
}

void WindowListWindow::reload()
{
    for (int g = 0; g < m_tree->topLevelItemCount(); ++g)
        qDeleteAll(m_tree->topLevelItem(g)->takeChildren());
    for (QWidget* child : m_main.childWindows()) {
        QTreeWidgetItem* group = m_tree->topLevelItem(groupOf(child));
        auto* row =
            new QTreeWidgetItem(group, {child->windowTitle(), QString::fromLatin1(child->metaObject()->className())});
        row->setData(0, kWidgetRole, QVariant::fromValue(QPointer<QWidget>(child)));
        auto* cw = dynamic_cast<ChildWindow*>(child);
        if (cw)
            row->setIcon(0, ChildIcon(cw->childKind()));
    }
    m_tree->expandAll();
}

QStringList WindowListWindow::rows(Group group) const
{
    QStringList out;
    const QTreeWidgetItem* g = m_tree->topLevelItem(group);
    for (int i = 0; i < g->childCount(); ++i)
        out << g->child(i)->text(0) + QLatin1Char('\t') + g->child(i)->text(1);
    return out;
}

void WindowListWindow::setAutoRefresh(bool on)
{
    if (m_auto->isChecked() != on) {
        m_auto->setChecked(on); // comes back here through toggled
        return;
    }
    m_countdown = kAutoRefreshSeconds;
    if (on) {
        m_auto->setText(GetText(QStringLiteral("0508")) + QStringLiteral(" (%1)").arg(m_countdown));
        m_timer->start();
    } else {
        m_timer->stop();
        m_auto->setText(GetText(QStringLiteral("0508")));
    }
}

void WindowListWindow::countdownTick()
{
    if (!m_auto->isChecked())
        return;
    --m_countdown;
    if (m_countdown >= 1) {
        m_auto->setText(GetText(QStringLiteral("0508")) + QStringLiteral(" (%1)").arg(m_countdown));
        return;
    }
    m_auto->setText(GetText(QStringLiteral("0508")) + QStringLiteral(" (+)"));
    reload();
    m_countdown = kAutoRefreshSeconds + 1; // the next tick shows 5 again
}

QString WindowListWindow::autoRefreshCaption() const
{
    return m_auto->text();
}
