#include "app/ui/gatewaywindow.h"

#include "app/core/appcore.h"

#include <algorithm>

#include "app/config/texts.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QString t(const char* id)
{
    return GetText(QLatin1String(id));
}

// Group captions are the text with a blank on either side.
QGroupBox* group(const char* id, QWidget* parent)
{
    return new QGroupBox(QLatin1Char(' ') + t(id) + QLatin1Char(' '), parent);
}

void setLabel(QLabel* label, const QString& text, const QColor& colour)
{
    if (label->text() != text)
        label->setText(text);
    const QString css = QStringLiteral("color: %1;").arg(colour.name());
    if (label->styleSheet() != css)
        label->setStyleSheet(css);
}

// The window's 16-pixel glyphs of the four TeamSpeak buttons: commander (0 off, 1 on,
// 2 disabled), away (3 away, 4 present), recording (5 muted, 6 open), playback (7 muted,
// 8 open).
QIcon glyph(int index)
{
    if (index < 0)
        return {};
    static QIcon cache[9];
    if (!cache[index].isNull())
        return cache[index];
    struct G {
        const char* letter;
        QColor fill;
        bool crossed;
    };
    const G g[9] = {
        {"C", QColor(0xC0, 0xC0, 0xC0), false}, {"C", QColor(0x00, 0xC0, 0x00), false},
        {"C", QColor(0xE8, 0xE8, 0xE8), true},  {"Z", QColor(0xFF, 0xA0, 0x00), false},
        {"Z", QColor(0xC0, 0xC0, 0xC0), false}, {"M", QColor(0xFF, 0x40, 0x40), true},
        {"M", QColor(0x00, 0xC0, 0x00), false}, {"S", QColor(0xFF, 0x40, 0x40), true},
        {"S", QColor(0x00, 0xC0, 0x00), false},
    };
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(g[index].fill);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QLatin1String(g[index].letter));
    if (g[index].crossed) {
        p.setPen(QPen(QColor(0x80, 0, 0), 2));
        p.drawLine(3, 13, 13, 3);
    }
    p.end();
    cache[index] = QIcon(pm);
    return cache[index];
}

void applyButton(QToolButton* b, const GwButton& state)
{
    b->setEnabled(state.enabled);
    if (b->toolTip() != state.hint)
        b->setToolTip(state.hint);
    if (b->property("glyph").toInt() != state.glyph || !b->property("glyph").isValid()) {
        b->setProperty("glyph", state.glyph);
        b->setIcon(glyph(state.glyph));
    }
}
} // namespace

// ---------------------------------------------------------------------------------------
// Lamp

GatewayLamp::GatewayLamp(QWidget* parent) : QWidget(parent)
{
    setFixedSize(16, 16);
}

void GatewayLamp::setLamp(const GwLamp& lamp)
{
    if (lamp.color == m_lamp.color && lamp.hint == m_lamp.hint)
        return;
    m_lamp = lamp;
    setToolTip(lamp.hint);
    update();
}

void GatewayLamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(GatewayWindow::colorOf(m_lamp.color));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

void GatewayLamp::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit pressed();
}

void GatewayLamp::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit released();
}

// ---------------------------------------------------------------------------------------
// Window

QColor GatewayWindow::colorOf(GwColor c)
{
    switch (c) {
    case GwColor::Blue:
        return QColor(0x00, 0x00, 0xFF);
    case GwColor::LightBlue:
        return QColor(0xA6, 0xCA, 0xF0);
    case GwColor::BrightGreen:
        return QColor(0x00, 0xFF, 0x00);
    case GwColor::Green:
        return QColor(0x00, 0x80, 0x00);
    case GwColor::Red:
        return QColor(0xFF, 0x00, 0x00);
    case GwColor::DarkRed:
        return QColor(0x80, 0x00, 0x00);
    case GwColor::Silver:
        return QColor(0xC0, 0xC0, 0xC0);
    case GwColor::Grey:
        return QColor(0x80, 0x80, 0x80);
    case GwColor::Navy:
        return QColor(0x00, 0x00, 0x80);
    }
    return Qt::black;
}

GatewayWindow::GatewayWindow(GatewayRunner& runner, std::function<void(GatewayRunner*)> release, QWidget* parent)
    : QWidget(parent), m_runner(&runner), m_release(std::move(release))
{
    build();
}

GatewayWindow::GatewayWindow(std::unique_ptr<GatewayEngine> engine, QWidget* parent)
    : QWidget(parent), m_ownRunner(std::make_unique<GatewayRunner>(std::move(engine))), m_runner(m_ownRunner.get())
{
    build();
}

void GatewayWindow::build()
{
    m_runner->setView(this);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(6, 6, 6, 6);
    top->setSpacing(4);

    // Teamspeak status and COM port status side by side.
    auto* row1 = new QHBoxLayout;
    QGroupBox* ts = group("0102", this);
    auto* tsl = new QGridLayout(ts);
    m_connLamp = new GatewayLamp(ts);
    m_connLabel = new QLabel(ts);
    m_txLamp = new GatewayLamp(ts);
    m_txLabel = new QLabel(ts);
    m_rxLamp = new GatewayLamp(ts);
    m_rxLabel = new QLabel(ts);
    tsl->addWidget(m_connLamp, 0, 0);
    tsl->addWidget(m_connLabel, 0, 1);
    tsl->addWidget(m_txLamp, 1, 0);
    tsl->addWidget(new QLabel(QStringLiteral("TX"), ts), 1, 1);
    tsl->addWidget(m_txLabel, 1, 2);
    tsl->addWidget(m_rxLamp, 2, 0);
    tsl->addWidget(new QLabel(QStringLiteral("RX"), ts), 2, 1);
    tsl->addWidget(m_rxLabel, 2, 2);
    tsl->setColumnStretch(2, 1);
    // The transmit and receive labels change their text while the gateway runs: leave room
    // for the longest one so "receive Audio" is never cut off.
    int labelWidth = 0;
    for (const char* id : {"0104", "0106", "0107", "0108"})
        labelWidth = std::max(labelWidth, m_rxLabel->fontMetrics().horizontalAdvance(t(id)));
    m_txLabel->setMinimumWidth(labelWidth + 4);
    m_rxLabel->setMinimumWidth(labelWidth + 4);
    row1->addWidget(ts, 3);

    QGroupBox* com = group("0103", this);
    auto* coml = new QGridLayout(com);
    m_pttLamp = new GatewayLamp(com);
    m_pttLamp->setCursor(Qt::PointingHandCursor);
    m_txOutLamp = new GatewayLamp(com);
    m_sqlLamp = new GatewayLamp(com);
    coml->addWidget(m_pttLamp, 0, 0);
    coml->addWidget(new QLabel(t("0109") + QStringLiteral(" RX"), com), 0, 1);
    coml->addWidget(m_txOutLamp, 1, 0);
    coml->addWidget(new QLabel(t("0109") + QStringLiteral(" TX"), com), 1, 1);
    coml->addWidget(m_sqlLamp, 2, 0);
    coml->addWidget(new QLabel(t("0110"), com), 2, 1);
    row1->addWidget(com, 2);
    top->addLayout(row1);

    // Connect info.
    QGroupBox* info = group("0112", this);
    auto* infol = new QGridLayout(info);
    m_server = new QLabel(info);
    m_channel = new QLabel(info);
    m_ping = new QLabel(info);
    m_ping->setMinimumWidth(90);
    m_ping->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    infol->addWidget(new QLabel(t("0116") + QLatin1Char(':'), info), 0, 0);
    infol->addWidget(m_server, 0, 1);
    infol->addWidget(new QLabel(t("0117") + QLatin1Char(':'), info), 1, 0);
    infol->addWidget(m_channel, 1, 1);
    infol->addWidget(m_ping, 0, 2);
    infol->setColumnStretch(1, 1);
    top->addWidget(info);

    // Speaking time limits.
    QGroupBox* lim = group("0113", this);
    auto* liml = new QGridLayout(lim);
    m_ts3LimitLamp = new GatewayLamp(lim);
    m_ts3Bar = new QProgressBar(lim);
    m_hfLimitLamp = new GatewayLamp(lim);
    m_hfBar = new QProgressBar(lim);
    for (QProgressBar* bar : {m_ts3Bar, m_hfBar}) {
        bar->setTextVisible(false);
        bar->setFixedHeight(10);
        bar->setValue(0);
    }
    liml->addWidget(m_ts3LimitLamp, 0, 0);
    liml->addWidget(new QLabel(t("0114"), lim), 0, 1);
    liml->addWidget(m_ts3Bar, 0, 2);
    liml->addWidget(m_hfLimitLamp, 1, 0);
    liml->addWidget(new QLabel(t("0115"), lim), 1, 1);
    liml->addWidget(m_hfBar, 1, 2);
    liml->setColumnStretch(2, 1);
    top->addWidget(lim);

    // Beacon and DTMF lines.
    auto* row2 = new QHBoxLayout;
    m_beacon = new QLabel(this);
    m_dtmf = new QLabel(this);
    m_dtmfLamp1 = new GatewayLamp(this);
    m_dtmfLamp2 = new GatewayLamp(this);
    row2->addWidget(m_beacon, 1);
    row2->addWidget(m_dtmfLamp1);
    row2->addWidget(m_dtmfLamp2);
    row2->addWidget(m_dtmf);
    top->addLayout(row2);

    m_log = new QTextEdit(this);
    m_log->setReadOnly(true);
    m_log->setMinimumHeight(90);
    QFont mono = m_log->font();
    mono.setPointSize(8);
    m_log->setFont(mono);
    top->addWidget(m_log, 1);

    // Functions: commander, away, playback, recording, settings, remote permissions,
    // call tone, save start channel and one without a job.
    QGroupBox* fn = group("0135", this);
    auto* fnl = new QHBoxLayout(fn);
    fnl->setSpacing(2);
    for (int i = 0; i < 9; ++i) {
        m_buttons[i] = new QToolButton(fn);
        m_buttons[i]->setIconSize(QSize(16, 16));
        m_buttons[i]->setFixedSize(26, 26);
        fnl->addWidget(m_buttons[i]);
    }
    fnl->addStretch(1);
    m_buttons[4]->setText(QStringLiteral("\u2699"));
    m_buttons[5]->setText(QStringLiteral("R"));
    m_buttons[6]->setText(QStringLiteral("\u266A"));
    m_buttons[7]->setText(QStringLiteral("\u2691"));
    top->addWidget(fn);

    GatewayEngine* e = &m_runner->engine();
    connect(m_buttons[0], &QToolButton::clicked, this, [e] { e->pressChannelCommander(); });
    connect(m_buttons[1], &QToolButton::clicked, this, [e] { e->pressAway(); });
    connect(m_buttons[2], &QToolButton::clicked, this, [e] { e->pressPlayback(); });
    connect(m_buttons[3], &QToolButton::clicked, this, [e] { e->pressRecording(); });
    connect(m_buttons[4], &QToolButton::clicked, this,
            [this, e] { emit settingsRequested(e->gateUID(), e->cfgFile()); });
    connect(m_buttons[5], &QToolButton::clicked, this,
            [this, e] { emit remotePermissionsRequested(e->gateUID(), e->cfgFile()); });
    connect(m_buttons[6], &QToolButton::released, this, [e] { e->releaseCallTone(); });
    connect(m_buttons[7], &QToolButton::clicked, this, [e] { e->pressSaveStartChannel(); });
    connect(m_pttLamp, &GatewayLamp::pressed, this, [e] { e->radioLampPressed(); });
    connect(m_pttLamp, &GatewayLamp::released, this, [e] { e->radioLampReleased(); });

    resize(430, 520);
    displayChanged();
}

GatewayWindow::~GatewayWindow()
{
    m_runner->setView(nullptr);
    if (m_release)
        m_release(m_runner);
}

void GatewayWindow::displayChanged()
{
    const GatewayDisplay& d = engine().display();
    if (!d.title.isEmpty() && windowTitle() != d.title)
        setWindowTitle(d.title);
    m_connLamp->setLamp(d.connLamp);
    setLabel(m_connLabel, d.connLabel.text, colorOf(d.connLabel.color));
    m_txLamp->setLamp(d.txLamp);
    setLabel(m_txLabel, d.txLabel.text, colorOf(d.txLabel.color));
    m_rxLamp->setLamp(d.rxLamp);
    setLabel(m_rxLabel, d.rxLabel.text, colorOf(d.rxLabel.color));
    m_pttLamp->setLamp(d.pttLamp);
    m_txOutLamp->setLamp(d.txOutLamp);
    m_sqlLamp->setLamp(d.sqlLamp);
    setLabel(m_server, d.serverField, Qt::black);
    setLabel(m_channel, d.channelField, Qt::black);
    setLabel(m_ping, d.pingLabel, Qt::black);
    m_ts3LimitLamp->setLamp(d.ts3LimitLamp);
    m_hfLimitLamp->setLamp(d.hfLimitLamp);
    for (auto [bar, state] : {std::pair{m_ts3Bar, d.ts3Bar}, std::pair{m_hfBar, d.hfBar}}) {
        const int max = qMax(1, state.max);
        if (bar->maximum() != max)
            bar->setMaximum(max);
        const int pos = qBound(0, state.pos, max);
        if (bar->value() != pos)
            bar->setValue(pos);
        const QString css = QStringLiteral("QProgressBar::chunk { background: %1; }").arg(colorOf(state.color).name());
        if (bar->styleSheet() != css)
            bar->setStyleSheet(css);
    }
    setLabel(m_beacon, d.beaconLine, Qt::black);
    setLabel(m_dtmf, d.dtmfLine, colorOf(d.dtmfColor));
    if (m_dtmf->font().bold() != (d.dtmfStyle == GwStyle::Bold) ||
        m_dtmf->font().italic() != (d.dtmfStyle == GwStyle::Italic)) {
        QFont f = m_dtmf->font();
        f.setBold(d.dtmfStyle == GwStyle::Bold);
        f.setItalic(d.dtmfStyle == GwStyle::Italic);
        m_dtmf->setFont(f);
    }
    m_dtmfLamp1->setLamp(d.dtmfLamp1);
    m_dtmfLamp2->setLamp(d.dtmfLamp2);
    const GwButton* states[9] = {&d.chcomButton,     &d.awayButton,        &d.playbackButton,
                                 &d.recordingButton, &d.settingsButton,    &d.remoteButton,
                                 &d.callButton,      &d.saveChannelButton, &d.spareButton};
    for (int i = 0; i < 9; ++i)
        applyButton(m_buttons[i], *states[i]);
    // Buttons without a glyph keep their text symbol.
    m_buttons[6]->setToolTip(QString());
}

void GatewayWindow::logAppended(const GwLogLine& line)
{
    QString html = line.text.toHtmlEscaped();
    if (line.style == GwStyle::Bold)
        html = QStringLiteral("<b>") + html + QStringLiteral("</b>");
    else if (line.style == GwStyle::Italic)
        html = QStringLiteral("<i>") + html + QStringLiteral("</i>");
    m_log->append(QStringLiteral("<span style=\"color:%1\">%2</span>").arg(colorOf(line.color).name(), html));
}

void GatewayWindow::logCleared()
{
    m_log->clear();
}

QString GatewayWindow::logHtml() const
{
    return m_log->toHtml();
}

QWidget* GatewayWindow::frameWidget()
{
    // Inside the main window the frame is the multi-document sub-window.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub;
    return this;
}

void GatewayWindow::placeOnce()
{
    if (m_placed)
        return;
    m_placed = true;
    frameWidget()->move(engine().windowLeft(), engine().windowTop());
    if (!engine().display().title.isEmpty())
        setWindowTitle(engine().display().title);
}

void GatewayWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    placeOnce();
}

void GatewayWindow::windowPosition(int& left, int& top)
{
    if (!m_placed)
        return;
    const QPoint p = frameWidget()->pos();
    left = p.x();
    top = p.y();
}

void GatewayWindow::closeWindow()
{
    frameWidget()->close();
}

void GatewayWindow::closeEvent(QCloseEvent* event)
{
    if (engine().CloseQuery()) {
        m_runner->stopTimers();
        event->accept();
    } else {
        event->ignore();
    }
}

void GatewayWindow::endForQuit()
{
    engine().StoppeGateway();
    engine().BeendeForm(0);
}

GatewayWindow* CreateGatewayWindow(LinkSender& sender, GatewayHost& host, const SettingsList& params, QWidget* parent)
{
    auto* window = new GatewayWindow(std::make_unique<GatewayEngine>(sender, host), parent);
    if (!window->engine().StarteForm(params)) {
        delete window;
        return nullptr;
    }
    window->startTimers();
    return window;
}

GatewayWindow* CreateGatewayWindow(AppCore& core, const SettingsList& params, QWidget* parent)
{
    GatewayRunner& runner = core.createGateway();
    auto* window = new GatewayWindow(
        runner, [&core](GatewayRunner* r) { core.releaseGateway(r); }, parent);
    if (!runner.engine().StarteForm(params)) {
        delete window;
        return nullptr;
    }
    window->startTimers();
    return window;
}
