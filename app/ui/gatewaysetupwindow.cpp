#include "app/ui/gatewaysetupwindow.h"

#include "app/audio/sounddevices.h"
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/ui/mainwindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

using namespace gatewaysetup;

namespace {

QString T(const char* id)
{
    return GetText(QString::fromLatin1(id));
}
QString K(const char* key)
{
    return QString::fromLatin1(key);
}
QString groupTitle(const char* id)
{
    return QLatin1Char(' ') + T(id) + QLatin1Char(' ');
}

QGroupBox* group(const QString& title, QWidget* parent)
{
    auto* g = new QGroupBox(title, parent);
    QFont f = g->font();
    f.setBold(true);
    g->setFont(f);
    return g;
}

// Group contents use the normal font again.
template <class W>
W* plain(W* w)
{
    QFont f = w->font();
    f.setBold(false);
    w->setFont(f);
    return w;
}

void setSilently(QAbstractButton* b, bool on)
{
    const QSignalBlocker block(b);
    b->setChecked(on);
}

void markField(QWidget* field, bool ok)
{
    field->setStyleSheet(ok ? QString() : QStringLiteral("QLineEdit { background: #ff6060; color: white; }"));
}

// A read-only path field: a click opens the file dialog, its context menu empties it.
class FileField : public QLineEdit {
public:
    std::function<void()> onClick;
    using QLineEdit::QLineEdit;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QLineEdit::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton && onClick)
            onClick();
    }
};

} // namespace

// One page: its widget, the AllowEdit flag, how it is filled and what showing it does.
struct GatewaySetupWindow::PageState {
    QWidget* widget = nullptr;
    bool allowEdit = false;
    std::vector<std::function<void()>> fillers;
    std::function<void()> afterFill; // the audio and COM pages store what they show
    std::function<void()> onShow;    // the connection page asks for fresh profiles

    void fill()
    {
        allowEdit = false;
        for (const auto& f : fillers)
            f();
        allowEdit = true;
        if (afterFill)
            afterFill();
    }
};

namespace {

// Control builders bound to the model; each adds its filler to the page.
class Binder {
public:
    Binder(GatewaySetupModel& m, GatewaySetupWindow::PageState& p) : m(m), p(p) {}

    QCheckBox* boolBox(const QString& caption, const char* key, QWidget* parent, bool inverted = false)
    {
        auto* box = new QCheckBox(caption, parent);
        box->setObjectName(QString::fromLatin1(key));
        plain(box);
        const QString k = K(key);
        p.fillers.push_back([mp = &m, box, k, inverted] { setSilently(box, mp->boolOf(k) != inverted); });
        QObject::connect(box, &QCheckBox::toggled, box, [mp = &m, pp = &p, k, inverted](bool on) {
            if (pp->allowEdit)
                mp->setBool(k, on != inverted);
        });
        return box;
    }

    // A slider with a value label; label(n) gives the label's text.
    QWidget* slider(const SliderSpec& s, QWidget* parent, std::function<QString(int)> label, QSlider** out = nullptr,
                    QLabel** outLabel = nullptr)
    {
        auto* row = plain(new QWidget(parent));
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* sl = new QSlider(Qt::Horizontal, row);
        sl->setRange(s.min, s.max);
        sl->setObjectName(QString::fromLatin1(s.key));
        auto* lab = new QLabel(row);
        lab->setMinimumWidth(110);
        h->addWidget(sl, 1);
        h->addWidget(lab);
        const SliderSpec spec = s;
        p.fillers.push_back([mp = &m, sl, lab, spec, label] {
            const QSignalBlocker block(sl);
            sl->setValue(mp->sliderValue(spec));
            lab->setText(label(sl->value()));
        });
        QObject::connect(sl, &QSlider::valueChanged, sl, [mp = &m, pp = &p, lab, spec, label](int v) {
            lab->setText(label(v));
            if (pp->allowEdit)
                mp->setSlider(spec, v);
        });
        if (out)
            *out = sl;
        if (outLabel)
            *outLabel = lab;
        return row;
    }

    QLineEdit* msField(const MsSpec& s, QWidget* parent, int digits = 4)
    {
        auto* e = new QLineEdit(parent);
        plain(e);
        e->setObjectName(QString::fromLatin1(s.key));
        e->setMaxLength(digits);
        e->setFixedWidth(60);
        e->setAlignment(Qt::AlignRight);
        const MsSpec spec = s;
        p.fillers.push_back([mp = &m, e, spec] {
            const QSignalBlocker block(e);
            e->setText(mp->msText(spec));
            markField(e, GatewaySetupModel::msAccepts(spec, e->text()));
        });
        QObject::connect(e, &QLineEdit::textChanged, e, [mp = &m, pp = &p, e, spec](const QString& t) {
            const bool ok = GatewaySetupModel::msAccepts(spec, t);
            markField(e, ok);
            if (ok && pp->allowEdit)
                mp->setMs(spec, t);
        });
        return e;
    }

    QLineEdit* numberField(const NumberSpec& s, QWidget* parent, int digits)
    {
        auto* e = new QLineEdit(parent);
        plain(e);
        e->setObjectName(QString::fromLatin1(s.key));
        e->setMaxLength(digits);
        e->setFixedWidth(64);
        e->setAlignment(Qt::AlignRight);
        const NumberSpec spec = s;
        p.fillers.push_back([mp = &m, e, spec] {
            const QSignalBlocker block(e);
            e->setText(mp->text(QString::fromLatin1(spec.key)));
            markField(e, GatewaySetupModel::numberAccepts(spec, e->text()));
        });
        QObject::connect(e, &QLineEdit::textChanged, e, [mp = &m, pp = &p, e, spec](const QString& t) {
            const bool ok = GatewaySetupModel::numberAccepts(spec, t);
            markField(e, ok);
            if (ok && pp->allowEdit)
                mp->setNumber(spec, t);
        });
        return e;
    }

    QLineEdit* textField(const char* key, QWidget* parent, int maxLength = 32767)
    {
        auto* e = new QLineEdit(parent);
        plain(e);
        e->setObjectName(QString::fromLatin1(key));
        e->setMaxLength(maxLength);
        const QString k = K(key);
        p.fillers.push_back([mp = &m, e, k] {
            const QSignalBlocker block(e);
            e->setText(mp->text(k));
        });
        QObject::connect(e, &QLineEdit::textChanged, e, [mp = &m, pp = &p, k](const QString& t) {
            if (pp->allowEdit)
                mp->setText(k, t);
        });
        return e;
    }

    // A list of names (beep designs) bound to a key holding the chosen name.
    QComboBox* nameCombo(const char* key, QWidget* parent, std::function<QStringList()> items)
    {
        auto* c = new QComboBox(parent);
        plain(c);
        c->setObjectName(QString::fromLatin1(key));
        c->setToolTip(T("0855"));
        c->setMinimumWidth(150);
        const QString k = K(key);
        p.fillers.push_back([mp = &m, c, k, items] {
            const QSignalBlocker block(c);
            c->clear();
            c->addItems(items());
            c->setCurrentIndex(c->findText(mp->text(k), Qt::MatchFixedString));
        });
        QObject::connect(c, &QComboBox::activated, c, [mp = &m, pp = &p, c, k](int) {
            if (pp->allowEdit)
                mp->setText(k, c->currentText());
        });
        return c;
    }

    // A list of devices bound to a key holding the item index.
    QComboBox* deviceCombo(const char* key, QWidget* parent, std::function<QStringList()> items)
    {
        auto* c = new QComboBox(parent);
        plain(c);
        c->setObjectName(QString::fromLatin1(key));
        c->setToolTip(T("0855"));
        c->setMinimumWidth(220);
        const QString k = K(key);
        p.fillers.push_back([mp = &m, c, k, items] {
            const QSignalBlocker block(c);
            c->clear();
            c->addItems(items());
            const int i = mp->text(k).isEmpty() ? -1 : mp->DATARRAY().intValue(k, -1);
            c->setCurrentIndex(i < c->count() ? i : -1);
        });
        QObject::connect(c, &QComboBox::activated, c, [mp = &m, pp = &p, k](int i) {
            if (pp->allowEdit)
                mp->setInt(k, i);
        });
        return c;
    }

    // A wave file field; pick opens the file dialog, the context menu entry 0454 empties it.
    FileField* fileField(const char* key, QWidget* parent, std::function<void(const QString&)> store,
                         std::function<void()> erase)
    {
        auto* e = new FileField(parent);
        plain(e);
        e->setObjectName(QString::fromLatin1(key));
        e->setReadOnly(true);
        e->setCursor(Qt::PointingHandCursor);
        e->setPlaceholderText(QStringLiteral("*.wav"));
        const QString k = K(key);
        p.fillers.push_back([mp = &m, e, k] { e->setText(mp->text(k)); });
        e->onClick = [mp = &m, pp = &p, e, k, store] {
            const QString f =
                QFileDialog::getOpenFileName(e, T("0905"), mp->text(k), QStringLiteral("WAVE-Files (*.wav)"));
            if (f.isEmpty() || !pp->allowEdit)
                return;
            store(f);
            e->setText(mp->text(k));
        };
        QAction* browse = e->addAction(e->style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
        QObject::connect(browse, &QAction::triggered, e, [e] { e->onClick(); });
        e->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(e, &QWidget::customContextMenuRequested, e,
                         [mp = &m, pp = &p, e, k, erase](const QPoint& pos) {
                             QMenu menu(e);
                             QAction* del = menu.addAction(e->style()->standardIcon(QStyle::SP_TrashIcon), T("0454"));
                             if (menu.exec(e->mapToGlobal(pos)) == del && pp->allowEdit) {
                                 erase();
                                 e->setText(mp->text(k));
                             }
                         });
        return e;
    }

    GatewaySetupModel& m;
    GatewaySetupWindow::PageState& p;
};

QString secondsLabel(int n)
{
    return QString::number(n) + QLatin1Char(' ') + T("0609");
}
QString dbLabel(int n)
{
    return T("0808") + QStringLiteral(": ") + QString::number(n) + QStringLiteral(" db");
}
QString percentLabel(int n)
{
    return T("0808") + QStringLiteral(": ") + QString::number(n) + QStringLiteral(" %");
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    plain(l);
    return l;
}

} // namespace

// ------------------------------------------------------------------ window

GatewaySetupWindow::GatewaySetupWindow(SetupDeps deps, QWidget* parent) : QWidget(parent), m_deps(std::move(deps))
{
    const SetupDialogs boxes = SetupMessageBoxes(this);
    if (!m_deps.dialogs.error)
        m_deps.dialogs.error = boxes.error;
    if (!m_deps.dialogs.information)
        m_deps.dialogs.information = boxes.information;
    if (!m_deps.dialogs.askYesNo)
        m_deps.dialogs.askYesNo = boxes.askYesNo;
    if (!m_deps.dialogs.inputText)
        m_deps.dialogs.inputText = boxes.inputText;
    m_model = std::make_unique<GatewaySetupModel>(m_deps);
    setWindowTitle(T("0701"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    buildHeader();
    buildPages();
    resize(720, 560);
}

GatewaySetupWindow::~GatewaySetupWindow() = default;

void GatewaySetupWindow::buildHeader()
{
    auto* bar = new QFrame(this);
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Window, QColor(0xE8, 0xEE, 0xF7));
    bar->setPalette(pal);
    auto* h = new QHBoxLayout(bar);
    h->setContentsMargins(8, 4, 8, 4);

    auto* icon = new QLabel(bar);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(24, 24));
    m_name = new QLabel(bar);
    m_name->setObjectName(QStringLiteral("gateName"));
    QFont f = m_name->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    m_name->setFont(f);
    m_name->setStyleSheet(QStringLiteral("color: #000080;"));

    auto* rename = new QToolButton(bar);
    rename->setObjectName(QStringLiteral("rename"));
    rename->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    rename->setToolTip(T("0702"));
    rename->setAutoRaise(true);
    connect(rename, &QToolButton::clicked, this, [this] { renameGateway(); });

    m_autorun = new QCheckBox(T("0859"), bar);
    m_autorun->setObjectName(QStringLiteral("gateAutorun"));
    connect(m_autorun, &QCheckBox::toggled, this, [this](bool on) {
        if (m_current >= 0)
            m_model->setAutorun(on);
    });

    auto* save = new QToolButton(bar);
    save->setObjectName(QStringLiteral("save"));
    save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    save->setIconSize(QSize(24, 24));
    save->setToolTip(T("0061"));
    save->setAutoRaise(true);
    connect(save, &QToolButton::clicked, this, [this] { saveAndClose(); });

    h->addWidget(icon);
    h->addWidget(m_name, 1);
    h->addWidget(rename);
    h->addSpacing(16);
    h->addWidget(m_autorun);
    h->addSpacing(8);
    h->addWidget(save);
    static_cast<QVBoxLayout*>(layout())->addWidget(bar);
}

QWidget* GatewaySetupWindow::pageWidget(int index) const
{
    return index >= 0 && index < int(m_pages.size()) ? m_pages[size_t(index)]->widget : nullptr;
}

QAbstractButton* GatewaySetupWindow::pageButton(int index) const
{
    return index >= 0 && index < int(m_buttons.size()) ? m_buttons[size_t(index)] : nullptr;
}

bool GatewaySetupWindow::StarteForm(const SettingsList& params)
{
    if (!m_model->StarteForm(params))
        return false;
    setProperty("gateUID", m_model->gateUID());
    m_name->setText(m_model->gateName());
    {
        const QSignalBlocker block(m_autorun);
        m_autorun->setChecked(m_model->boolOf(QStringLiteral("gateAutorun")));
    }
    showPage(StartPage);
    return true;
}

void GatewaySetupWindow::showPage(int index)
{
    if (index < 0 || index >= int(m_pages.size()))
        return;
    m_current = index;
    for (size_t i = 0; i < m_buttons.size(); ++i)
        setSilently(m_buttons[i], int(i) == index);
    PageState& page = *m_pages[size_t(index)];
    if (page.onShow)
        page.onShow();
    page.fill();
    m_stack->setCurrentWidget(page.widget);
}

void GatewaySetupWindow::refreshPage()
{
    if (m_current >= 0)
        m_pages[size_t(m_current)]->fill();
}

void GatewaySetupWindow::renameGateway()
{
    if (m_model->rename())
        m_name->setText(m_model->gateName());
}

void GatewaySetupWindow::saveAndClose()
{
    if (!m_model->save())
        return;
    closeSelf();
}

void GatewaySetupWindow::closeSelf()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

QString GatewaySetupWindow::dropUnsavedForQuit()
{
    m_closeAsked = true;
    if (!m_model->dropUnsavedEdits())
        return {};
    return QStringLiteral("the unsaved settings of gateway \"%1\"").arg(m_model->gateName());
}

void GatewaySetupWindow::closeEvent(QCloseEvent* event)
{
    // The question is asked once per close, also when the frame forwards it.
    if (!m_closeAsked) {
        if (!m_model->closeQuery()) {
            event->ignore();
            return;
        }
        m_closeAsked = true;
    }
    event->accept();
}

// ------------------------------------------------------------------ pages

void GatewaySetupWindow::buildPages()
{
    buildPageButtons();
    buildLimitsPage();
    buildConnectionPage();
    buildAudioPage();
    buildSerialPage();
    buildBeepPage();
    buildRemoteControlPage();
    buildAnnouncementPage();
    buildStatisticsPage();
    buildInfoTextPage();

    // Only the group titles are bold.
    for (QGroupBox* g : findChildren<QGroupBox*>())
        for (QWidget* w : g->findChildren<QWidget*>())
            if (!qobject_cast<QGroupBox*>(w))
                plain(w);
}

// The page buttons in a column and, beside them, the stack of (still empty) page widgets.
void GatewaySetupWindow::buildPageButtons()
{
    auto* body = new QHBoxLayout;
    static_cast<QVBoxLayout*>(layout())->addLayout(body, 1);

    auto* buttons = new QFrame(this);
    buttons->setFrameShape(QFrame::StyledPanel);
    auto* bl = new QVBoxLayout(buttons);
    bl->setContentsMargins(4, 4, 4, 4);
    bl->setSpacing(2);
    m_stack = new QStackedWidget(this);
    body->addWidget(buttons);
    body->addWidget(m_stack, 1);

    const struct {
        const char* text;
        QStyle::StandardPixmap icon;
    } pageButtons[PageCount] = {
        {"0780", QStyle::SP_ComputerIcon},
        {"0781", QStyle::SP_DriveNetIcon},
        {"0782", QStyle::SP_MediaVolume},
        {"0783", QStyle::SP_DriveHDIcon},
        {"0784", QStyle::SP_MediaPlay},
        {"0785", QStyle::SP_DialogHelpButton},
        {"0786", QStyle::SP_MediaSeekForward},
        {"0787", QStyle::SP_FileDialogListView},
        {"0788", QStyle::SP_MessageBoxInformation},
    };
    for (int i = 0; i < PageCount; ++i) {
        auto* b = new QToolButton(buttons);
        b->setObjectName(QStringLiteral("page%1").arg(i));
        b->setText(T(pageButtons[i].text));
        b->setIcon(style()->standardIcon(pageButtons[i].icon));
        b->setIconSize(QSize(22, 22));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setMinimumWidth(150);
        connect(b, &QToolButton::clicked, this, [this, i] { showPage(i); });
        bl->addWidget(b);
        m_buttons.push_back(b);

        auto page = std::make_unique<PageState>();
        page->widget = new QWidget(m_stack);
        page->widget->setObjectName(QStringLiteral("pageWidget%1").arg(i));
        m_stack->addWidget(page->widget);
        m_pages.push_back(std::move(page));
    }
    bl->addStretch(1);
}

// Page 0: airtime limits and the close question.
void GatewaySetupWindow::buildLimitsPage()
{
    GatewaySetupModel& m = *m_model;
    PageState& p = *m_pages[StartPage];
    Binder b(m, p);
    auto* v = new QVBoxLayout(p.widget);
    const struct {
        const char* side;
        const char* on;
        SliderSpec time, reset;
    } limits[] = {{"0712", "TS3-TX-MAX-ON", spec::kTs3MaxTime, spec::kTs3MaxReset},
                  {"0711", "HF-TX-MAX-ON", spec::kHfMaxTime, spec::kHfMaxReset}};
    for (const auto& l : limits) {
        auto* g =
            group(QLatin1Char(' ') + T("0710") + QStringLiteral(" [") + T(l.side) + QStringLiteral("] "), p.widget);
        auto* f = new QFormLayout(g);
        f->addRow(b.boolBox(T("0706"), l.on, g));
        f->addRow(caption(T("0710") + QLatin1Char(':'), g), b.slider(l.time, g, secondsLabel));
        f->addRow(caption(T("0707") + QLatin1Char(':'), g), b.slider(l.reset, g, secondsLabel));
        v->addWidget(g);
    }
    auto* timed = group(groupTitle("0713"), p.widget);
    auto* th = new QHBoxLayout(timed);
    auto* timedOn = plain(new QCheckBox(T("0706"), timed));
    auto* time = plain(new QTimeEdit(timed));
    time->setDisplayFormat(QStringLiteral("HH:mm"));
    th->addWidget(timedOn);
    th->addWidget(caption(T("0714") + QLatin1Char(':'), timed));
    th->addWidget(time);
    th->addStretch(1);
    // These functions are not offered yet: the controls are shown but store nothing.
    timed->setEnabled(false);
    v->addWidget(timed);
    v->addWidget(b.boolBox(T("0716"), "gateExitDlg", p.widget));
    v->addStretch(1);
}

// Page 1: TeamSpeak connection.
void GatewaySetupWindow::buildConnectionPage()
{
    GatewaySetupModel& m = *m_model;
    PageState& p = *m_pages[ConnectPage];
    auto* v = new QVBoxLayout(p.widget);
    auto* typeRow = new QHBoxLayout;
    auto* type = new QComboBox(p.widget);
    type->setObjectName(QStringLiteral("TS3-CONNECT-TYPE"));
    type->setToolTip(T("0855"));
    type->addItems({T("0751"), T("0752")});
    typeRow->addWidget(caption(T("0750") + QLatin1Char(':'), p.widget));
    typeRow->addWidget(type);
    typeRow->addStretch(1);
    v->addLayout(typeRow);

    auto* tabs = new QTabWidget(p.widget);
    tabs->setObjectName(QStringLiteral("connectTabs"));
    v->addWidget(tabs);
    p.fillers.push_back([type, tabs, &m] {
        const QSignalBlocker block(type);
        type->setCurrentIndex(m.connectType());
        tabs->setCurrentIndex(m.connectType());
    });
    connect(type, &QComboBox::activated, this, [&p, &m, tabs](int i) {
        tabs->setCurrentIndex(i);
        if (p.allowEdit)
            m.setConnectType(i);
    });
    QList<QLineEdit*> nickEdits;
    auto* manual = buildManualTab(p, nickEdits, tabs);
    auto* bookmark = buildBookmarkTab(p, nickEdits, tabs);
    tabs->addTab(manual, T("0751"));
    tabs->addTab(bookmark, T("0752"));
    // The two nickname edits show the same setting.
    for (QLineEdit* e : nickEdits)
        connect(e, &QLineEdit::textChanged, this, [&p, &m, e, nickEdits](const QString& t) {
            for (QLineEdit* other : nickEdits)
                if (other != e) {
                    const QSignalBlocker block(other);
                    other->setText(t);
                }
            if (p.allowEdit)
                m.setText(QStringLiteral("TS3-NICK"), t);
        });

    auto* lower = new QHBoxLayout;
    auto* cmdr = buildCommanderGroup(p);
    auto* extra = buildConnectExtrasGroup(p);
    lower->addWidget(cmdr, 1);
    lower->addWidget(extra, 1);
    v->addLayout(lower);
    v->addStretch(1);
    p.onShow = [&m] { m.requestProfiles(false); };
}

// Pick buttons offer the plugin's lists; reload and send-nickname sit in both tabs.
QWidget* GatewaySetupWindow::profileRow(PageState& p, ProfileKind kind, const QString& label, QWidget* parent)
{
    GatewaySetupModel& m = *m_model;
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* e = new QLineEdit(row);
    e->setReadOnly(true);
    e->setObjectName(GatewaySetupModel::profileKey(kind));
    auto* pick = new QToolButton(row);
    pick->setText(QStringLiteral("..."));
    pick->setObjectName(GatewaySetupModel::profileKey(kind) + QStringLiteral("-pick"));
    h->addWidget(e, 1);
    h->addWidget(pick);
    p.fillers.push_back([e, kind, &m] { e->setText(m.text(GatewaySetupModel::profileKey(kind))); });
    connect(pick, &QToolButton::clicked, this, [this, e, kind, label, &m] {
        const std::optional<QStringList> names = m.pickList(kind);
        if (!names)
            return;
        QMenu menu(this);
        menu.addAction(label)->setEnabled(false);
        menu.addSeparator();
        QList<QAction*> items;
        for (const QString& n : *names)
            items << menu.addAction(n);
        const int chosen = int(items.indexOf(menu.exec(QCursor::pos())));
        if (chosen >= 0 && m.pickProfile(kind, chosen))
            e->setText(m.text(GatewaySetupModel::profileKey(kind)));
    });
    return row;
}

QWidget* GatewaySetupWindow::profileActionsRow(const QList<QLineEdit*>& nickEdits, QWidget* parent)
{
    GatewaySetupModel& m = *m_model;
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* reload =
        new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("Reload Profiles"), row);
    connect(reload, &QPushButton::clicked, this, [&m] { m.requestProfiles(true); });
    auto* send = new QPushButton(style()->standardIcon(QStyle::SP_ArrowRight), T("0733"), row);
    send->setToolTip(T("0745"));
    const int which = int(nickEdits.size()) - 1;
    send->setObjectName(QStringLiteral("sendNick-%1").arg(which));
    connect(send, &QPushButton::clicked, this, [&m, nickEdits, which] {
        if (which >= 0)
            m.sendNickname(nickEdits[which]->text());
    });
    h->addWidget(caption(T("0709") + QLatin1Char(':'), row));
    h->addWidget(reload);
    h->addStretch(1);
    h->addWidget(send);
    return row;
}

QLineEdit* GatewaySetupWindow::nicknameEdit(PageState& p, QList<QLineEdit*>& nickEdits, QWidget* parent)
{
    GatewaySetupModel& m = *m_model;
    auto* e = new QLineEdit(parent);
    e->setMaxLength(30);
    e->setObjectName(QStringLiteral("TS3-NICK-%1").arg(nickEdits.size()));
    nickEdits << e;
    p.fillers.push_back([e, &m] {
        const QSignalBlocker block(e);
        e->setText(m.text(QStringLiteral("TS3-NICK")));
    });
    return e;
}

QWidget* GatewaySetupWindow::buildManualTab(PageState& p, QList<QLineEdit*>& nickEdits, QTabWidget* tabs)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* manual = new QWidget(tabs);
    auto* mv = new QVBoxLayout(manual);
    auto* g = group(groupTitle("0730"), manual);
    auto* f = new QFormLayout(g);
    f->addRow(caption(T("0733"), g), nicknameEdit(p, nickEdits, g));
    f->addRow(caption(T("0732"), g), b.textField("TS3-HOST", g));
    f->addRow(caption(T("0736"), g), profileRow(p, ProfileKind::Identity, T("0736"), g));
    f->addRow(caption(T("0735"), g), profileRow(p, ProfileKind::Capture, T("0735"), g));
    f->addRow(caption(T("0734"), g), profileRow(p, ProfileKind::Playback, T("0734"), g));
    auto* channel = new QLineEdit(g);
    channel->setReadOnly(true);
    channel->setObjectName(QStringLiteral("TS3-START-CHANNEL"));
    p.fillers.push_back([channel, &m] { channel->setText(m.text(QStringLiteral("TS3-START-CHANNEL"))); });
    f->addRow(caption(T("0747"), g), channel);
    auto* spw = b.textField("TS3-SERV-PASSWD", g);
    spw->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    f->addRow(caption(T("0748"), g), spw);
    auto* cpw = b.textField("TS3-CHAN-PASSWD", g);
    cpw->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    f->addRow(caption(T("0749"), g), cpw);
    f->addRow(profileActionsRow(nickEdits, g));
    mv->addWidget(g);
    return manual;
}

QWidget* GatewaySetupWindow::buildBookmarkTab(PageState& p, QList<QLineEdit*>& nickEdits, QTabWidget* tabs)
{
    auto* bookmark = new QWidget(tabs);
    auto* bv = new QVBoxLayout(bookmark);
    auto* g = group(groupTitle("0730"), bookmark);
    auto* f = new QFormLayout(g);
    f->addRow(caption(T("0753"), g), profileRow(p, ProfileKind::Bookmark, T("0753"), g));
    f->addRow(caption(T("0733"), g), nicknameEdit(p, nickEdits, g));
    f->addRow(profileActionsRow(nickEdits, g));
    bv->addWidget(g);
    bv->addStretch(1);
    return bookmark;
}

QGroupBox* GatewaySetupWindow::buildCommanderGroup(PageState& p)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* cmdr = group(groupTitle("0731"), p.widget);
    auto* cv = new QVBoxLayout(cmdr);
    auto* modes = new QButtonGroup(cmdr);
    const char* texts[] = {"0737", "0738", "0739"};
    for (int i = 0; i < 3; ++i) {
        auto* r = plain(new QRadioButton(T(texts[i]), cmdr));
        r->setObjectName(QStringLiteral("cmdr%1").arg(i));
        modes->addButton(static_cast<QRadioButton*>(r), i);
        cv->addWidget(r);
    }
    auto* rx = b.boolBox(T("0741"), "TS3-CMDR-ON-RX", cmdr);
    auto* tx = b.boolBox(T("0740"), "TS3-CMDR-ON-TX", cmdr);
    auto* sub = new QVBoxLayout;
    sub->setContentsMargins(20, 0, 0, 0);
    sub->addWidget(rx);
    sub->addWidget(tx);
    cv->addLayout(sub);
    auto enable = [rx, tx](bool on) {
        rx->setEnabled(on);
        tx->setEnabled(on);
    };
    p.fillers.push_back([modes, enable, &m] {
        const int mode = int(m.commanderMode());
        setSilently(modes->button(mode), true);
        enable(mode == int(CommanderMode::WhenActivity));
    });
    connect(modes, &QButtonGroup::idClicked, this, [&p, &m, enable](int id) {
        enable(id == int(CommanderMode::WhenActivity));
        if (p.allowEdit)
            m.setCommanderMode(CommanderMode(id));
    });
    return cmdr;
}

QGroupBox* GatewaySetupWindow::buildConnectExtrasGroup(PageState& p)
{
    Binder b(*m_model, p);
    auto* extra = group(groupTitle("0742"), p.widget);
    auto* ev = new QVBoxLayout(extra);
    ev->addWidget(b.boolBox(T("0743"), "TS3-DOPPEL-RX", extra));
    ev->addWidget(b.boolBox(T("0744"), "TS3-MOVING-CLIENT", extra, true));
    ev->addWidget(b.boolBox(T("0754"), "TS3-NICK-WRITE", extra));
    ev->addStretch(1);
    return extra;
}

// Page 2: audio.
void GatewaySetupWindow::buildAudioPage()
{
    GatewaySetupModel& m = *m_model;
    PageState& p = *m_pages[AudioPage];
    auto* v = new QVBoxLayout(p.widget);
    auto* ptt = buildPttGroup(p);
    auto* offline = buildOfflineGroup(p);
    auto* levels = buildLevelsGroup(p);
    v->addWidget(ptt);
    v->addWidget(offline);
    v->addWidget(levels);
    v->addStretch(1);
    p.onShow = [&m] { m.resetReductionMemory(); };
    p.afterFill = [&m] { m.storeShownAudioValues(); };
}

QGroupBox* GatewaySetupWindow::buildPttGroup(PageState& p)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* ptt = group(groupTitle("0800"), p.widget);
    auto* f = new QFormLayout(ptt);
    auto* pins = new QButtonGroup(ptt);
    auto* vox = plain(new QRadioButton(T("0804"), ptt));
    auto* com = plain(new QRadioButton(T("0805"), ptt));
    vox->setObjectName(QStringLiteral("TS3-TX-PIN-VOX"));
    com->setObjectName(QStringLiteral("TS3-TX-PIN-COM"));
    pins->addButton(static_cast<QRadioButton*>(vox), 0);
    pins->addButton(static_cast<QRadioButton*>(com), 1);
    auto* row = new QHBoxLayout;
    row->addWidget(vox);
    row->addWidget(com);
    row->addStretch(1);
    f->addRow(row);
    p.fillers.push_back([vox, com, &m] {
        const bool isCom = m.text(QStringLiteral("TS3-TX-PIN")).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0;
        setSilently(static_cast<QRadioButton*>(isCom ? com : vox), true);
    });
    connect(pins, &QButtonGroup::idClicked, this, [&p, &m](int id) {
        if (p.allowEdit)
            m.setText(QStringLiteral("TS3-TX-PIN"), id == 1 ? QStringLiteral("COM") : QStringLiteral("VOX"));
    });
    f->addRow(caption(QStringLiteral("VOX"), ptt), b.slider(spec::kVoxLevel, ptt, dbLabel));
    auto* delay = new QHBoxLayout;
    delay->addWidget(b.msField(spec::kVoxDelay, ptt));
    delay->addWidget(caption(T("0807"), ptt));
    delay->addStretch(1);
    f->addRow(caption(T("0806"), ptt), delay);
    return ptt;
}

QGroupBox* GatewaySetupWindow::buildOfflineGroup(PageState& p)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* offline = group(groupTitle("0802"), p.widget);
    auto* f = new QFormLayout(offline);
    auto* devices = b.deviceCombo("HF-OFFLINE-DEVICE", offline, [&m] { return m.waveOutDevices(); });
    devices->setToolTip(T("0815"));
    f->addRow(caption(T("0803"), offline), devices);
    f->addRow(caption(T("0809"), offline), b.slider(spec::kOfflineVolume, offline, [](int n) {
        return T("0809") + QStringLiteral(": ") + QString::number(n) + QStringLiteral(" %");
    }));
    return offline;
}

QGroupBox* GatewaySetupWindow::buildLevelsGroup(PageState& p)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* levels = group(groupTitle("0801"), p.widget);
    auto* f = new QFormLayout(levels);
    f->addRow(caption(T("0810"), levels), b.slider(spec::kUserVolume, levels, dbLabel));
    QSlider* volume = nullptr;
    QSlider* reduction = nullptr;
    QLabel* reductionLabel = nullptr;
    f->addRow(caption(T("0811"), levels), b.slider(spec::kWaveVolume, levels, dbLabel, &volume));
    f->addRow(caption(T("0812"), levels), b.slider(spec::kWaveReduction, levels, dbLabel, &reduction, &reductionLabel));
    // The pair: the reduction never exceeds the volume. These handlers run after
    // the binder's, which already stored the raw positions.
    auto showReduction = [reduction, reductionLabel](int val) {
        const QSignalBlocker block(reduction);
        reduction->setValue(val);
        reductionLabel->setText(dbLabel(val));
    };
    connect(reduction, &QSlider::valueChanged, this, [&p, &m, showReduction](int val) {
        if (p.allowEdit)
            showReduction(m.moveReduction(val, QApplication::mouseButtons() & Qt::LeftButton));
    });
    connect(reduction, &QSlider::sliderReleased, this, [&p, &m, reduction] {
        if (p.allowEdit)
            m.moveReduction(reduction->value(), false);
    });
    connect(volume, &QSlider::valueChanged, this, [&p, &m, showReduction](int val) {
        if (p.allowEdit)
            showReduction(m.moveWaveVolume(val));
    });
    auto msRow = [&b, levels](const MsSpec& s, const char* before, const char* after) {
        auto* row = new QHBoxLayout;
        row->addWidget(caption(T(before) + QStringLiteral(" ->"), levels));
        row->addWidget(b.msField(s, levels));
        row->addWidget(caption(T("0807"), levels));
        row->addWidget(caption(QStringLiteral("-> ") + T(after), levels));
        row->addStretch(1);
        return row;
    };
    f->addRow(msRow(spec::kWaveLeadIn, "0813", "0814"));
    f->addRow(msRow(spec::kWaveLeadOut, "0814", "0816"));
    return levels;
}

// Page 3: serial lines and relay delays.
void GatewaySetupWindow::buildSerialPage()
{
    GatewaySetupModel& m = *m_model;
    PageState& p = *m_pages[ComPage];
    Binder b(m, p);
    auto* grid = new QGridLayout(p.widget);
    const QStringList outPins = {QStringLiteral("DTR"), QStringLiteral("RTS"), QStringLiteral("BREAK")};
    const QStringList inPins = {QStringLiteral("CTS"), QStringLiteral("DSR"), QStringLiteral("RING")};
    auto [rxOut, rxOutLayout] = comPortGroup(p, "0852", "COM-OUT-NUM", "COM-OUT-PIN", "COM-OUT-ON", "COM-OUT-INVERT",
                                             outPins, QStringLiteral("RTS"), false);
    auto* rxDelay = new QHBoxLayout;
    rxDelay->addWidget(caption(T("0910"), rxOut));
    rxDelay->addWidget(b.msField(spec::kTs3RxDelay, rxOut));
    rxDelay->addStretch(1);
    rxOutLayout->addLayout(rxDelay);
    auto [in, inLayout] =
        comPortGroup(p, "0854", "COM-IN-NUM", "COM-IN-PIN", "COM-IN-ON", "COM-IN-INVERT", inPins, QString(), true);
    auto* asPtt = plain(new QCheckBox(T("0858"), in));
    asPtt->setObjectName(QStringLiteral("TS3-TX-PIN"));
    p.fillers.push_back([asPtt, &m] {
        setSilently(asPtt,
                    m.text(QStringLiteral("TS3-TX-PIN")).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0);
    });
    connect(asPtt, &QCheckBox::toggled, this, [&p, &m](bool on) {
        if (p.allowEdit)
            m.setText(QStringLiteral("TS3-TX-PIN"), on ? QStringLiteral("COM") : QStringLiteral("VOX"));
    });
    inLayout->addWidget(asPtt);
    auto [txOut, txOutLayout] = comPortGroup(p, "0853", "COM-OUT-TX-NUM", "COM-OUT-TX-PIN", "COM-OUT-TX-ON",
                                             "COM-OUT-TX-INVERT", outPins, QStringLiteral("DTR"), false);
    auto* txDelay = new QHBoxLayout;
    txDelay->addWidget(caption(T("0910"), txOut));
    txDelay->addWidget(b.msField(spec::kHfTxDelay, txOut));
    txDelay->addStretch(1);
    txOutLayout->addLayout(txDelay);
    grid->addWidget(rxOut, 0, 0);
    grid->addWidget(in, 0, 1);
    grid->addWidget(txOut, 1, 0);
    grid->setRowStretch(2, 1);
    p.afterFill = [&m] { m.storeShownComValues(); };
}

// One serial line: the port list, its pins and the "on" and "inverted" boxes.
std::pair<QGroupBox*, QVBoxLayout*> GatewaySetupWindow::comPortGroup(PageState& p, const char* title,
                                                                     const char* numKey, const char* pinKey,
                                                                     const char* onKey, const char* invKey,
                                                                     const QStringList& pinNames,
                                                                     const QString& fallbackPin, bool input)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* g = group(groupTitle(title), p.widget);
    auto* gv = new QVBoxLayout(g);
    auto* ports = new QComboBox(g);
    plain(ports);
    ports->setObjectName(QString::fromLatin1(numKey));
    ports->setToolTip(T("0855"));
    gv->addWidget(ports);
    const QString nk = K(numKey);
    p.fillers.push_back([ports, nk, &m] {
        const QSignalBlocker block(ports);
        ports->clear();
        for (int n : m.comPorts())
            ports->addItem(QStringLiteral("COM%1").arg(n), n);
        ports->setCurrentIndex(ports->findData(m.DATARRAY().intValue(nk, 0)));
    });
    connect(ports, &QComboBox::activated, this, [&p, &m, ports, nk](int i) {
        if (!p.allowEdit)
            return;
        if (!m.choosePort(nk, ports->itemData(i).toInt())) {
            const QSignalBlocker block(ports);
            ports->setCurrentIndex(-1);
        }
    });
    auto* pins = new QButtonGroup(g);
    auto* pinRow = new QHBoxLayout;
    for (int i = 0; i < pinNames.size(); ++i) {
        auto* r = plain(new QRadioButton(pinNames[i], g));
        r->setObjectName(QString::fromLatin1(pinKey) + QLatin1Char('-') + pinNames[i]);
        pins->addButton(static_cast<QRadioButton*>(r), i);
        pinRow->addWidget(r);
    }
    gv->addLayout(pinRow);
    const QString pk = K(pinKey);
    p.fillers.push_back([pins, pinNames, pk, fallbackPin, input, &m] {
        const QString pin =
            input ? GatewaySetupModel::inputPinOf(m.text(pk)) : GatewaySetupModel::outputPinOf(m.text(pk), fallbackPin);
        pins->setExclusive(false);
        for (QAbstractButton* btn : pins->buttons())
            setSilently(btn, false);
        pins->setExclusive(true);
        if (const int i = int(pinNames.indexOf(pin)); i >= 0)
            setSilently(pins->button(i), true);
    });
    connect(pins, &QButtonGroup::idClicked, this, [&p, &m, pk, pinNames](int id) {
        if (p.allowEdit)
            m.setText(pk, pinNames[id]);
    });
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(b.boolBox(T("0856"), onKey, g));
    boxes->addWidget(b.boolBox(T("0857"), invKey, g));
    boxes->addStretch(1);
    gv->addLayout(boxes);
    return std::make_pair(g, gv);
}

// Page 4: roger beep, receipt beep, beacon, RX end/start beeps.
void GatewaySetupWindow::buildBeepPage()
{
    PageState& p = *m_pages[BeaconPage];
    auto* grid = new QGridLayout(p.widget);
    grid->addWidget(beepGroup(p, "0900", "HF-ROGER-BEEP", "HF-ROGER-DATA", spec::kRogerVolume, &spec::kRogerWait), 0,
                    0);
    grid->addWidget(beepGroup(p, "0901", "HF-RXINFO-BEEP", "HF-RXINFO-DATA", spec::kRxInfoVolume, &spec::kRxInfoDelay),
                    0, 1);
    grid->addWidget(beepGroup(p, "0908", "HF-RXEND-BEEP", "HF-RXEND-DATA", spec::kRxEndVolume, nullptr), 1, 0);
    grid->addWidget(beepGroup(p, "0909", "HF-RXSTART-BEEP", "HF-RXSTART-DATA", spec::kRxStartVolume, nullptr), 1, 1);
    grid->addWidget(buildBeaconGroup(p), 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
}

QGroupBox* GatewaySetupWindow::beepGroup(PageState& p, const char* title, const char* on, const char* data,
                                         const SliderSpec& vol, const MsSpec* delay)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto designs = [&m] { return m.beepDesigns(); };
    auto* g = group(groupTitle(title), p.widget);
    auto* f = new QFormLayout(g);
    auto* top = new QHBoxLayout;
    top->addWidget(b.boolBox(T("0706"), on, g));
    top->addWidget(b.nameCombo(data, g, designs), 1);
    f->addRow(top);
    f->addRow(b.slider(vol, g, percentLabel));
    if (delay) {
        auto* row = new QHBoxLayout;
        row->addWidget(caption(T("0910"), g));
        row->addWidget(b.msField(*delay, g));
        row->addStretch(1);
        f->addRow(row);
    }
    return g;
}

QGroupBox* GatewaySetupWindow::buildBeaconGroup(PageState& p)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* beacon = group(groupTitle("0902"), p.widget);
    auto* bg = new QGridLayout(beacon);
    auto* on = plain(new QCheckBox(T("0706"), beacon));
    on->setObjectName(QStringLiteral("HF-BAKE-ON"));
    p.fillers.push_back([on, &m] { setSilently(on, m.boolOf(QStringLiteral("HF-BAKE-ON"))); });
    connect(on, &QCheckBox::clicked, this, [&p, &m, on](bool checked) {
        if (p.allowEdit)
            setSilently(on, m.setBeaconOn(checked));
    });
    auto* file = b.fileField(
        "HF-BAKE-FILE", beacon, [&m](const QString& f) { m.setBeaconFile(f); },
        [&m, on] {
            m.deleteBeaconFile();
            setSilently(on, false);
        });
    bg->addWidget(on, 0, 0);
    bg->addWidget(caption(T("0905"), beacon), 0, 1);
    bg->addWidget(file, 0, 2, 1, 5);
    bg->addWidget(b.boolBox(T("0906"), "HF-BAKE-WAIT", beacon), 1, 0, 1, 2);
    bg->addWidget(caption(T("0903"), beacon), 1, 2);
    bg->addWidget(b.numberField(spec::kBeaconTime, beacon, 4), 1, 3);
    const struct {
        const char* text;
        NumberSpec spec;
    } counts[] = {{"0904", spec::kBeaconAfterTx}, {"0907", spec::kBeaconAfterRx}};
    int col = 4;
    for (const auto& c : counts) {
        auto* box = new QSpinBox(beacon);
        plain(box);
        box->setObjectName(QString::fromLatin1(c.spec.key));
        box->setRange(c.spec.min, c.spec.max);
        box->setFixedWidth(56);
        auto colour = [box](int n) {
            box->setStyleSheet(n > 4 ? QStringLiteral("QSpinBox { color: #00008B; font-weight: bold; }")
                                     : QStringLiteral("QSpinBox { color: #A0A0A0; }"));
        };
        const QString key = QString::fromLatin1(c.spec.key);
        p.fillers.push_back([box, key, colour, &m] {
            const QSignalBlocker block(box);
            box->setValue(m.DATARRAY().intValue(key, 0));
            colour(box->value());
        });
        connect(box, &QSpinBox::valueChanged, this, [&p, &m, key, colour](int n) {
            colour(n);
            if (p.allowEdit)
                m.setInt(key, n);
        });
        auto* cell = new QHBoxLayout;
        cell->addWidget(caption(T(c.text), beacon));
        cell->addWidget(box);
        bg->addLayout(cell, 1, col++);
    }
    return beacon;
}

// Page 5: remote control.
void GatewaySetupWindow::buildRemoteControlPage()
{
    PageState& p = *m_pages[RemotePage];
    auto* v = new QVBoxLayout(p.widget);
    auto* dtmf = buildDtmfGroup(p);
    auto* call = buildCallGroup(p);
    auto* noReg = buildNoRegistrationGroup(p);
    v->addWidget(dtmf);
    v->addWidget(call);
    v->addWidget(noReg);
    v->addStretch(1);
}

QGroupBox* GatewaySetupWindow::buildDtmfGroup(PageState& p)
{
    GatewaySetupModel& m = *m_model;
    Binder b(m, p);
    auto* dtmf = group(groupTitle("0950"), p.widget);
    auto* f = new QFormLayout(dtmf);
    f->addRow(b.boolBox(T("0706"), "DTMF-ON", dtmf));
    f->addRow(caption(T("0951"), dtmf), b.deviceCombo("DTMF-INPUT-DEVICE", dtmf, [&m] { return m.waveInDevices(); }));
    auto* time = new QSpinBox(dtmf);
    plain(time);
    time->setObjectName(QStringLiteral("DTMF-AKTIV-TIME"));
    time->setRange(spec::kDtmfInputTime.min, spec::kDtmfInputTime.max);
    time->setFixedWidth(56);
    p.fillers.push_back([time, &m] {
        const QSignalBlocker block(time);
        time->setValue(m.dtmfInputTime());
    });
    connect(time, &QSpinBox::valueChanged, this, [&p, &m](int n) {
        if (p.allowEdit)
            m.setInt(QStringLiteral("DTMF-AKTIV-TIME"), n);
    });
    f->addRow(caption(T("0952"), dtmf), time);
    // The command groups are fixed in this version: shown, not editable.
    const struct {
        const char* text;
        const char* suffix;
        const char* key;
    } groups[] = {{"0953", " ( #01... )", "DTMF-INFO-ON"},
                  {"0954", " ( #02... )", "DTMF-MOVE-ON"},
                  {"0955", " ( #03... )", nullptr},
                  {"0956", " ( #04... )", nullptr}};
    auto* gl = new QGridLayout;
    int i = 0;
    for (const auto& g : groups) {
        auto* box = plain(new QCheckBox(T(g.text) + QString::fromLatin1(g.suffix), dtmf));
        box->setEnabled(false);
        if (g.key) {
            const QString key = QString::fromLatin1(g.key);
            p.fillers.push_back([box, key, &m] { setSilently(static_cast<QCheckBox*>(box), m.boolOf(key)); });
        }
        gl->addWidget(box, i / 2, i % 2);
        ++i;
    }
    f->addRow(gl);
    return dtmf;
}

QGroupBox* GatewaySetupWindow::buildCallGroup(PageState& p)
{
    Binder b(*m_model, p);
    auto* call = group(QLatin1Char(' ') + T("0957") + QStringLiteral(" [#call] "), p.widget);
    auto* f = new QFormLayout(call);
    f->addRow(b.boolBox(T("0706"), "REM-CALL-ON", call));
    auto* row = new QHBoxLayout;
    row->addWidget(caption(T("0958"), call));
    row->addWidget(b.numberField(spec::kCallFreq, call, 5));
    row->addSpacing(12);
    row->addWidget(caption(T("0959"), call));
    row->addWidget(b.numberField(spec::kCallLength, call, 4));
    row->addStretch(1);
    f->addRow(row);
    f->addRow(caption(T("0809"), call), b.slider(spec::kCallVolume, call, percentLabel));
    return call;
}

QGroupBox* GatewaySetupWindow::buildNoRegistrationGroup(PageState& p)
{
    Binder b(*m_model, p);
    auto* noReg = group(groupTitle("0960"), p.widget);
    auto* h = new QHBoxLayout(noReg);
    const struct {
        const char* text;
        const char* key;
    } cmds[] = {{"0157", "REM-MOVE-REG"},
                {"0158", "REM-MUTE-REG"},
                {"0159", "REM-REST-REG"},
                {"0160", "REM-AWAY-REG"},
                {"0161", "REM-CALL-REG"}};
    for (const auto& c : cmds)
        h->addWidget(b.boolBox(T(c.text), c.key, noReg, true));
    h->addStretch(1);
    return noReg;
}

// Page 6: announcements.
void GatewaySetupWindow::buildAnnouncementPage()
{
    GatewaySetupModel& m = *m_model;
    PageState& p = *m_pages[WavePage];
    Binder b(m, p);
    auto* v = new QVBoxLayout(p.widget);
    auto* info = group(groupTitle("1000"), p.widget);
    {
        auto* iv = new QVBoxLayout(info);
        const struct {
            const char* text;
            const char* key;
        } boxes[] = {{"1001", "HF-WAVE-USERIN"}, {"1002", "HF-WAVE-USEROUT"}};
        for (const auto& bx : boxes) {
            auto* box = plain(new QCheckBox(T(bx.text), info));
            box->setObjectName(QString::fromLatin1(bx.key));
            const QString key = QString::fromLatin1(bx.key);
            p.fillers.push_back([box, key, &m] { setSilently(static_cast<QCheckBox*>(box), m.boolOf(key)); });
            connect(static_cast<QCheckBox*>(box), &QCheckBox::clicked, this, [&p, &m, box, key](bool on) {
                if (p.allowEdit)
                    setSilently(static_cast<QCheckBox*>(box), m.setAnnouncement(key, on));
            });
            iv->addWidget(box);
        }
    }
    auto* beacon = group(groupTitle("1003"), p.widget);
    {
        auto* f = new QFormLayout(beacon);
        const struct {
            const char* key;
            const char* code;
        } files[] = {{"DTMF-INFO-WAVE", " (#0105*)"}, {"DTMF-INFO-WAVE-2", " (#0106*)"}};
        for (const auto& fl : files) {
            const QString key = QString::fromLatin1(fl.key);
            f->addRow(caption(T("0905") + QString::fromLatin1(fl.code), beacon),
                      b.fileField(
                          fl.key, beacon, [&m, key](const QString& path) { m.setText(key, path); },
                          [&m, key] { m.setText(key, QString()); }));
        }
    }
    v->addWidget(info);
    v->addWidget(beacon);
    v->addStretch(1);
}

// Page 7: statistics.
void GatewaySetupWindow::buildStatisticsPage()
{
    PageState& p = *m_pages[StatisticsPage];
    auto* v = new QVBoxLayout(p.widget);
    auto* l = new QLabel(T("0715"), p.widget);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(QStringLiteral("color: #808080; font-size: 14pt;"));
    v->addWidget(l, 1);
}

// Page 8: gateway info text.
void GatewaySetupWindow::buildInfoTextPage()
{
    GatewaySetupModel& m = *m_model;
    PageState& p = *m_pages[InfoPage];
    Binder b(m, p);
    auto* v = new QVBoxLayout(p.widget);
    auto* g = group(groupTitle("1100"), p.widget);
    auto* h = new QHBoxLayout(g);
    auto* text = b.textField("TS3-INFO-TXT", g, 255);
    auto* send = new QToolButton(g);
    send->setObjectName(QStringLiteral("sendInfo"));
    send->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    send->setToolTip(T("1101"));
    connect(send, &QToolButton::clicked, this, [&m, text] { m.sendInfoText(text->text()); });
    h->addWidget(text, 1);
    h->addWidget(send);
    v->addWidget(g);
    v->addStretch(1);
}

// ------------------------------------------------------------------ program glue

SetupDialogs SetupMessageBoxes(QWidget* parent)
{
    SetupDialogs d;
    d.error = [parent](const QString& text) {
        QMessageBox::critical(parent, GetGeneralText(QStringLiteral("NAME")), text, QMessageBox::Abort);
    };
    d.information = [parent](const QString& text) {
        QMessageBox::information(parent, GetGeneralText(QStringLiteral("NAME")), text);
    };
    d.askYesNo = [parent](const QString& question) {
        return QMessageBox::question(parent, GetGeneralText(QStringLiteral("NAME")), question,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    d.inputText = [parent](const QString& cap, const QString& prompt) -> std::optional<QString> {
        bool ok = false;
        const QString t = QInputDialog::getText(parent, cap, prompt, QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return t;
    };
    return d;
}

GatewaySetupWindow* CreateGatewaySetupWindow(MainWindow& main, const SettingsList& params)
{
    SetupDeps d;
    d.session = &main.session();
    MainWindow* m = &main;
    d.comPortIsOpen = [m](int port) { return m->COMPortIsOpen(port); };
    d.listComPorts = [m] {
        QList<int> out;
        for (int n = 1; n <= ComPortManager::kMaxPorts; ++n)
            if (m->comPorts().probePort(n))
                out << n;
        return out;
    };
    auto toList = [](const std::vector<std::string>& names) {
        QStringList out;
        for (const std::string& n : names)
            out << QString::fromStdString(n);
        return out;
    };
    d.waveOutDevices = [toList] { return toList(rdaudio::ListWaveOutDevices()); };
    d.waveInDevices = [toList] { return toList(rdaudio::ListWaveInDevices()); };
    d.configFolder = main.configFolder();
    d.soundFolder = main.soundFolder();
    auto* w = new GatewaySetupWindow(std::move(d));
    if (!w->StarteForm(params)) {
        delete w;
        return nullptr;
    }
    return w;
}

void RegisterGatewaySetupWindow(MainWindow& main)
{
    main.setChildFactory(ChildKind::GatewaySetup,
                         [](MainWindow& m, const QString&, const SettingsList& params) -> QWidget* {
                             return CreateGatewaySetupWindow(m, params);
                         });
}
