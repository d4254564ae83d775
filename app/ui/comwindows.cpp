#include "app/ui/comwindows.h"

#include "app/config/inifile.h"
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"

#include <QFileInfo>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPortRole = Qt::UserRole + 1;

QString say(const char* de, const char* en)
{
    return QString::fromUtf8(AppLang() == QLatin1String("en_US") ? en : de);
}
const char* const kOutputPins[3] = {"RTS", "DTR", "BREAK"};
const char* const kInputPins[3] = {"DSR", "CTS", "RING"};

} // namespace

// ---------------------------------------------------------------------------------------
// COM port editor

ComPortEditor::ComPortEditor(ComPortManager& manager, ComWindowHost* host, QWidget* parent)
    : QWidget(parent), m_mgr(manager), m_host(host), m_lister([] { return listSystemDevices(); })
{
    setWindowTitle(GetText(QStringLiteral("0301")));
    auto* top = new QHBoxLayout;
    auto* heading = new QLabel(GetText(QStringLiteral("0302")), this);
    m_refresh = new QToolButton(this);
    m_refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    m_refresh->setToolTip(QStringLiteral("[F5] ") + GetText(QStringLiteral("0210")));
    top->addWidget(heading, 1);
    top->addWidget(m_refresh);

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(5);
    // The third column shows where each port name leads (comport.cfg key `device`), the
    // last why a port is not usable.
    m_list->setHeaderLabels({GetText(QStringLiteral("0303")), GetText(QStringLiteral("0304")), QStringLiteral("Device"),
                             say("Beschreibung", "Description"), say("Hinweis", "Note")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    m_save = new QPushButton(GetText(QStringLiteral("0309")), this);

    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(m_list, 1);
    lay->addWidget(m_save);

    m_menu = new QMenu(this);
    connect(m_refresh, &QToolButton::clicked, this, &ComPortEditor::rebuildList);
    connect(m_save, &QPushButton::clicked, this, &ComPortEditor::saveAndOpen);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* it) { openStatusWindow(portOfRow(it)); });
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { contextMenu()->popup(m_list->viewport()->mapToGlobal(pos)); });
    rebuildList();
}

int ComPortEditor::portOfRow(const QTreeWidgetItem* row)
{
    return row ? row->data(0, kPortRole).toInt() : 0;
}

QTreeWidgetItem* ComPortEditor::rowOfPort(int n) const
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (portOfRow(m_list->topLevelItem(i)) == n)
            return m_list->topLevelItem(i);
    return nullptr;
}

void ComPortEditor::setDeviceLister(std::function<QList<SystemDevice>()> lister)
{
    m_lister = std::move(lister);
    rebuildList();
}

QString ComPortEditor::stableName(const QString& device) const
{
    const QString real = QFileInfo(device).canonicalFilePath();
    for (const SystemDevice& d : m_devices)
        if (d.device != d.node && (d.node == device || (!real.isEmpty() && d.node == real)))
            return d.device;
    return device;
}

void ComPortEditor::chooseDevice(int n, const QString& device)
{
    const QString stable = stableName(device);
    // The default name of the port needs no key.
    m_mgr.setDeviceForPort(n, stable == ComPortManager::defaultDeviceForPort(n) ? QString() : stable);
    rebuildList();
}

void ComPortEditor::rebuildList()
{
    const int selected = portOfRow(m_list->currentItem());
    m_list->clear();
    m_devices = m_lister ? m_lister() : QList<SystemDevice>();
    // Ports that comport.cfg names are listed also when their device is not there, so the
    // reason can be read.
    const QStringList configured = IniFile(m_mgr.configPath()).read().sections();
    for (int n = 1; n <= ComPortManager::kMaxPorts; ++n) {
        const bool present = m_mgr.probePort(n);
        const QString problem = m_mgr.openProblem(n);
        const bool inConfig = configured.contains(QStringLiteral("COM") + QString::number(n), Qt::CaseInsensitive);
        if (!present && !m_mgr.port(n) && !inConfig)
            continue;
        QString status;
        if (m_mgr.COMPortIsLost(n))
            status = say("verloren", "lost");
        else if (!m_mgr.port(n))
            status = GetText(QStringLiteral("0306"));
        else if (m_mgr.COMPortIsOpen(n))
            status = GetText(QStringLiteral("0307"));
        else
            status = GetText(QStringLiteral("0308"));
        const QString device = m_mgr.deviceForPort(n);
        QString description;
        const QString real = QFileInfo(device).canonicalFilePath();
        for (const SystemDevice& d : m_devices)
            if (d.device == device || d.node == device || (!real.isEmpty() && d.node == real))
                description = d.description;
        QString note = problem;
        if (note.isEmpty() && !present)
            note = say("nicht gefunden: ", "not found: ") + device;
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(ColName, QStringLiteral("COM") + QString::number(n));
        row->setText(ColStatus, QStringLiteral(" - ") + status + QStringLiteral(" - "));
        row->setText(ColDevice, device);
        row->setText(ColDescription, description);
        row->setText(ColNote, note);
        if (!note.isEmpty())
            row->setForeground(ColNote, QColor(0xC0, 0x00, 0x00));
        if (m_mgr.COMPortIsLost(n))
            row->setForeground(ColStatus, QColor(0xC0, 0x00, 0x00));
        row->setData(0, kPortRole, n);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        // A lost port is still part of the set: it reopens when its device returns.
        row->setCheckState(0, m_mgr.COMPortIsOpen(n) || m_mgr.COMPortIsLost(n) ? Qt::Checked : Qt::Unchecked);
        if (n == selected)
            m_list->setCurrentItem(row);
    }
}

void ComPortEditor::saveAndOpen()
{
    QList<int> ticked;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_list->topLevelItem(i);
        if (row->checkState(0) == Qt::Checked)
            ticked << portOfRow(row);
    }
    m_mgr.StoppeCOMPorts();
    // A port on a plain node (/dev/ttyUSB0, whose number changes on every plug-in) gets
    // the node's stable name when it has one.
    for (int n : ticked) {
        const QString device = m_mgr.deviceForPort(n);
        const QString stable = stableName(device);
        if (stable != device)
            m_mgr.setDeviceForPort(n, stable);
    }
    for (int n : ticked)
        m_mgr.StarteCOMPort(n);
    m_mgr.SaveCOMPortSetup();
    rebuildList();
    emit closeRequested();
}

void ComPortEditor::openStatusWindow(int n)
{
    if (n <= 0 || !m_host)
        return;
    if (m_host->COMStatusIstAktiv(n))
        return;
    int top = 10, left = 10;
    m_mgr.statusWindowPos(n, top, left);
    m_host->openCOMStatusWindow(n, top, left);
}

void ComPortEditor::toggleOpen(int n)
{
    if (m_mgr.COMPortIsOpen(n))
        m_mgr.StoppeCOMPort(n);
    else
        m_mgr.StarteCOMPort(n);
    rebuildList();
}

void ComPortEditor::toggleAutorunStatus(int n)
{
    m_mgr.setStatusOnAutorun(n, !m_mgr.statusOnAutorun(n));
}

QMenu* ComPortEditor::contextMenu()
{
    m_menu->clear();
    const int n = portOfRow(m_list->currentItem());
    const bool has = n > 0 && !m_list->selectedItems().isEmpty();
    QAction* status = m_menu->addAction(GetText(QStringLiteral("0305")), this, [this, n] { openStatusWindow(n); });
    QAction* open =
        m_menu->addAction(GetText(has && m_mgr.COMPortIsOpen(n) ? QStringLiteral("0311") : QStringLiteral("0310")),
                          this, [this, n] { toggleOpen(n); });
    QAction* autorun =
        m_menu->addAction(GetText(has && m_mgr.statusOnAutorun(n) ? QStringLiteral("0315") : QStringLiteral("0314")),
                          this, [this, n] { toggleAutorunStatus(n); });
    QMenu* devices = m_menu->addMenu(say("Gerät", "Device"));
    for (const SystemDevice& d : m_devices) {
        QAction* a = devices->addAction(
            d.device + (d.description.isEmpty() ? QString() : QStringLiteral("  -  ") + d.description), this,
            [this, n, dev = d.device] { chooseDevice(n, dev); });
        a->setCheckable(true);
        a->setChecked(has && m_mgr.deviceForPort(n) == d.device);
    }
    QAction* deviceMenu = devices->menuAction();
    for (QAction* a : {status, open, autorun, deviceMenu})
        a->setEnabled(has);
    deviceMenu->setEnabled(has && !m_devices.isEmpty());
    return m_menu;
}

void ComPortEditor::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F5) {
        rebuildList();
        return;
    }
    QWidget::keyPressEvent(e);
}

// ---------------------------------------------------------------------------------------
// Lamps

ComLed::ComLed(QWidget* parent) : QFrame(parent)
{
    setFixedSize(18, 18);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setColor(ComStatusWindow::kClosed);
}

void ComLed::setColor(const QColor& c)
{
    if (c == m_color)
        return;
    m_color = c;
    QPalette p = palette();
    p.setColor(QPalette::Window, c);
    setPalette(p);
}

void ComLed::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && !m_down) {
        m_down = true;
        emit pressed();
    }
}

void ComLed::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && m_down) {
        m_down = false;
        emit released();
    }
}

// ---------------------------------------------------------------------------------------
// Status window

const QColor ComStatusWindow::kOutputOn(0xFF, 0x00, 0x00);
const QColor ComStatusWindow::kOutputOff(0x80, 0x00, 0x00);
const QColor ComStatusWindow::kInputOn(0x00, 0xFF, 0x00);
const QColor ComStatusWindow::kInputOff(0x00, 0x64, 0x00);
const QColor ComStatusWindow::kClosed(0x80, 0x80, 0x80);

ComStatusWindow::ComStatusWindow(ComPortManager& manager, int port, int top, int left, QWidget* parent)
    : QWidget(parent), m_mgr(manager), m_port(port), m_top(top), m_left(left)
{
    setWindowTitle(GetText(QStringLiteral("0304")) + QStringLiteral(": COM") + QString::number(port));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(GetText(QStringLiteral("0312")) + QStringLiteral(": "), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("RTS   DTR   Break"), this), 0, 1, 1, 3);
    grid->addWidget(new QLabel(GetText(QStringLiteral("0313")) + QStringLiteral(": "), this), 2, 0);
    grid->addWidget(new QLabel(QStringLiteral("DSR   CTS   Ring"), this), 2, 1, 1, 3);
    m_note = new QLabel(this);
    m_note->setStyleSheet(QStringLiteral("color: #C00000"));
    m_note->setWordWrap(true);
    m_note->hide();
    grid->addWidget(m_note, 4, 0, 1, 4);
    for (int i = 0; i < 6; ++i) {
        m_leds[i] = new ComLed(this);
        grid->addWidget(m_leds[i], i < 3 ? 1 : 3, 1 + i % 3, Qt::AlignCenter);
    }
    for (int i = 1; i <= 3; ++i) {
        m_leds[i - 1]->setCursor(Qt::PointingHandCursor);
        connect(m_leds[i - 1], &ComLed::pressed, this, [this, i] { pressOutput(i); });
        connect(m_leds[i - 1], &ComLed::released, this, [this, i] { releaseOutput(i); });
    }
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, &ComStatusWindow::refresh);
    m_timer.start();
    refresh();
}

ComStatusWindow::~ComStatusWindow()
{
    releaseAll();
}

void ComStatusWindow::refresh()
{
    const QString note = m_mgr.openProblem(m_port);
    if (note != m_note->text()) {
        m_note->setText(note);
        m_note->setVisible(!note.isEmpty());
    }
    if (!m_mgr.COMPortIsOpen(m_port)) {
        for (ComLed* l : m_leds)
            l->setColor(kClosed);
        return;
    }
    for (int i = 0; i < 3; ++i)
        m_leds[i]->setColor(m_mgr.GetCOMStatus(m_port, QLatin1String(kOutputPins[i]), false) ? kOutputOn : kOutputOff);
    for (int i = 0; i < 3; ++i)
        m_leds[3 + i]->setColor(m_mgr.GetCOMStatus(m_port, QLatin1String(kInputPins[i]), false) ? kInputOn : kInputOff);
}

QString ComStatusWindow::noteText() const
{
    return m_note->text();
}

void ComStatusWindow::pressOutput(int i)
{
    if (i < 1 || i > 3)
        return;
    m_keyed[i - 1] = true;
    m_mgr.SetCOMStatus(QStringLiteral("STKLICK") + QString::number(m_port), m_port, QLatin1String(kOutputPins[i - 1]),
                       true, false);
    refresh();
}

void ComStatusWindow::releaseOutput(int i)
{
    if (i < 1 || i > 3)
        return;
    m_keyed[i - 1] = false;
    m_mgr.SetCOMStatus(QStringLiteral("STKLICK") + QString::number(m_port), m_port, QLatin1String(kOutputPins[i - 1]),
                       false, false);
    refresh();
}

void ComStatusWindow::releaseAll()
{
    // A window closed while a lamp is held down must not leave the output keyed.
    for (int i = 1; i <= 3; ++i)
        if (m_keyed[i - 1])
            releaseOutput(i);
}

QWidget* ComStatusWindow::frameWidget()
{
    return parentWidget() ? parentWidget() : this;
}

void ComStatusWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!m_placed) {
        m_placed = true;
        frameWidget()->move(m_left, m_top);
    }
}

void ComStatusWindow::closeEvent(QCloseEvent* e)
{
    releaseAll();
    QWidget* w = frameWidget();
    m_mgr.saveStatusWindowPos(m_port, w->y(), w->x());
    QWidget::closeEvent(e);
}
