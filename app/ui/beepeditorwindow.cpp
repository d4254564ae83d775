#include "app/ui/beepeditorwindow.h"

#include "app/audio/sounddevices.h"
#include "app/config/texts.h"
#include "app/ui/mainwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString tx(const char* id)
{
    return GetText(QLatin1String(id));
}

QString groupTitle(const char* id)
{
    return QLatin1Char(' ') + tx(id) + QLatin1Char(' ');
}

QLineEdit* digitEdit(int maxDigits, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxDigits)), e));
    e->setMaxLength(maxDigits);
    e->setAlignment(Qt::AlignRight);
    e->setFixedWidth(70);
    return e;
}

QString messageText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

BeepEditorWindow::BeepEditorWindow(BeepEditorModel::Deps deps, QWidget* parent) : QWidget(parent)
{
    if (!deps.ask) {
        deps.ask = [this](const QString& q) {
            return QMessageBox::question(this, tx("0451"), messageText(q), QMessageBox::Yes | QMessageBox::No) ==
                   QMessageBox::Yes;
        };
    }
    if (!deps.showError) {
        deps.showError = [this](const QString& text) {
            QMessageBox::critical(this, tx("0451"), messageText(text), QMessageBox::Abort);
        };
    }
    m_model = std::make_unique<BeepEditorModel>(std::move(deps));
    setWindowTitle(tx("0451"));
    build();
    fillList();
    showModel();
}

BeepEditorWindow::~BeepEditorWindow() = default;

void BeepEditorWindow::build()
{
    auto* root = new QHBoxLayout(this);

    // Stored designs.
    auto* left = new QVBoxLayout;
    auto* heading = new QLabel(tx("0452"), this);
    heading->setStyleSheet(QStringLiteral("font-weight: bold;"));
    left->addWidget(heading);
    m_list = new QTreeWidget(this);
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({tx("0457")});
    m_list->setRootIsDecorated(false);
    m_list->setMinimumWidth(180);
    left->addWidget(m_list, 1);
    root->addLayout(left);

    auto* right = new QVBoxLayout;
    // Tones.
    auto* settings = new QGroupBox(groupTitle("0456"), this);
    auto* grid = new QGridLayout(settings);
    grid->addWidget(new QLabel(tx("0458") + QStringLiteral(" (Hz)"), settings), 0, 1);
    grid->addWidget(new QLabel(tx("0459") + QStringLiteral(" (ms)"), settings), 0, 2);
    grid->addWidget(new QLabel(tx("0460") + QStringLiteral(" (ms)"), settings), 0, 3);
    grid->addWidget(new QLabel(tx("0453") + QStringLiteral(" #1"), settings), 1, 0);
    m_b2 = new QCheckBox(QStringLiteral("#2"), settings);
    m_b3 = new QCheckBox(QStringLiteral("#3"), settings);
    grid->addWidget(m_b2, 2, 0);
    grid->addWidget(m_b3, 3, 0);
    for (int t = 0; t < 3; ++t) {
        m_freq[t] = digitEdit(5, settings);
        m_dur[t] = digitEdit(4, settings);
        grid->addWidget(m_freq[t], t + 1, 1);
        grid->addWidget(m_dur[t], t + 1, 2);
        if (t > 0) {
            m_pause[t] = digitEdit(4, settings);
            grid->addWidget(m_pause[t], t + 1, 3);
        }
    }
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(tx("0461") + QStringLiteral("..."), settings));
    m_name = new QLineEdit(settings);
    m_name->setMaxLength(BeepEditorModel::kMaxNameLength);
    nameRow->addWidget(m_name, 1);
    grid->addLayout(nameRow, 4, 0, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_delete = new QPushButton(tx("0454"), settings);
    m_save = new QPushButton(tx("0455"), settings);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_save);
    grid->addLayout(buttons, 5, 0, 1, 4);
    right->addWidget(settings);

    // Preview.
    auto* preview = new QGroupBox(groupTitle("0464"), this);
    auto* pv = new QGridLayout(preview);
    pv->addWidget(new QLabel(tx("0465"), preview), 0, 0);
    m_devices = new QComboBox(preview);
    m_devices->setPlaceholderText(tx("0855"));
    m_devices->setToolTip(tx("0855"));
    m_devices->addItems(m_model->devices());
    m_devices->setCurrentIndex(m_model->device());
    m_devices->setMinimumWidth(200);
    pv->addWidget(m_devices, 0, 1);
    m_play = new QPushButton(tx("0466"), preview);
    pv->addWidget(m_play, 0, 2);
    m_status = new QLabel(preview);
    m_status->setWordWrap(true);
    pv->addWidget(m_status, 1, 0, 1, 3);
    right->addWidget(preview);
    right->addStretch(1);
    root->addLayout(right);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (m_filling)
            return;
        const QList<QTreeWidgetItem*> sel = m_list->selectedItems();
        if (sel.isEmpty())
            m_model->deselect();
        else
            m_model->select(sel.first()->text(0));
        showModel();
    });
    connect(m_b2, &QCheckBox::clicked, this, [this](bool on) {
        readFields();
        m_model->setTone2(on);
        showModel();
    });
    connect(m_b3, &QCheckBox::clicked, this, [this](bool on) {
        readFields();
        m_model->setTone3(on);
        showModel();
    });
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString& t) { m_model->setName(t); });
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(m_play, &QPushButton::clicked, this, [this] { play(); });
    connect(m_devices, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_model->chooseDevice(index);
        m_play->setEnabled(m_model->playEnabled());
    });
}

void BeepEditorWindow::fillList()
{
    m_filling = true;
    m_list->clear();
    for (const QString& name : m_model->designs())
        m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{name}));
    m_filling = false;
}

void BeepEditorWindow::showModel()
{
    const BeepFields& f = m_model->fields();
    m_filling = true;
    m_freq[0]->setText(f.f1);
    m_dur[0]->setText(f.d1);
    m_freq[1]->setText(f.f2);
    m_dur[1]->setText(f.d2);
    m_pause[1]->setText(f.p2);
    m_freq[2]->setText(f.f3);
    m_dur[2]->setText(f.d3);
    m_pause[2]->setText(f.p3);
    m_b2->setChecked(f.b2);
    m_b3->setChecked(f.b3);
    m_name->setText(m_model->name());
    m_name->setReadOnly(m_model->nameReadOnly());
    // A read-only field looks like one: the name of a stored design cannot be changed.
    m_name->setStyleSheet(m_model->nameReadOnly() ? QStringLiteral("QLineEdit { background: palette(window); }")
                                                  : QString());
    m_delete->setEnabled(m_model->deleteEnabled());
    m_b3->setEnabled(m_model->tone3CheckEnabled());
    for (QLineEdit* e : {m_freq[1], m_dur[1], m_pause[1]})
        e->setEnabled(m_model->tone2Enabled());
    for (QLineEdit* e : {m_freq[2], m_dur[2], m_pause[2]})
        e->setEnabled(m_model->tone3Enabled());
    m_play->setEnabled(m_model->playEnabled());
    if (m_model->selected().isEmpty()) {
        m_list->clearSelection();
    }
    m_filling = false;
}

void BeepEditorWindow::readFields()
{
    BeepFields& f = m_model->fields();
    f.f1 = m_freq[0]->text();
    f.d1 = m_dur[0]->text();
    f.f2 = m_freq[1]->text();
    f.d2 = m_dur[1]->text();
    f.p2 = m_pause[1]->text();
    f.f3 = m_freq[2]->text();
    f.d3 = m_dur[2]->text();
    f.p3 = m_pause[2]->text();
    m_model->setName(m_name->text());
}

void BeepEditorWindow::selectDesign(const QString& name)
{
    const QList<QTreeWidgetItem*> items = m_list->findItems(name, Qt::MatchFixedString);
    if (items.isEmpty())
        m_list->clearSelection();
    else
        m_list->setCurrentItem(items.first());
}

void BeepEditorWindow::save()
{
    readFields();
    const BeepEditorModel::SaveResult r = m_model->save();
    if (r == BeepEditorModel::SaveResult::Saved || r == BeepEditorModel::SaveResult::Declined) {
        fillList();
        m_status->clear();
    }
    showModel();
}

void BeepEditorWindow::removeSelected()
{
    m_model->removeSelected();
    fillList();
    showModel();
}

void BeepEditorWindow::play()
{
    readFields();
    QString detail;
    switch (m_model->preview(&detail)) {
    case BeepEditorModel::PreviewResult::Played:
        m_status->clear();
        break;
    case BeepEditorModel::PreviewResult::Invalid:
        m_status->clear();
        break;
    case BeepEditorModel::PreviewResult::NoDevice:
        m_status->setText(tx("0855") + QStringLiteral(": ") + tx("0465"));
        break;
    case BeepEditorModel::PreviewResult::RenderFailed:
    case BeepEditorModel::PreviewResult::PlayFailed:
        m_status->setText(detail.isEmpty() ? tx("0467") : detail);
        break;
    }
}

void BeepEditorWindow::closeEvent(QCloseEvent* event)
{
    m_model->stopPreview();
    event->accept();
}

// ---------------------------------------------------------------------------------------

BeepEditorWindow* CreateBeepEditorWindow(MainWindow& main)
{
    BeepEditorModel::Deps d;
    d.cfgFile = main.configFolder() + QStringLiteral("rogerbeep.cfg");
    d.tempFolder = main.tempFolder();
    d.settings = &main.globalConfig();
    d.outputDevices = [] {
        QStringList out;
        for (const std::string& name : rdaudio::ListWaveOutDevices())
            out << QString::fromStdString(name);
        return out;
    };
    return new BeepEditorWindow(std::move(d));
}

void RegisterBeepEditorWindow(MainWindow& main)
{
    main.setChildFactory(
        ChildKind::RogerBeepEditor,
        [](MainWindow& m, const QString&, const SettingsList&) -> QWidget* { return CreateBeepEditorWindow(m); });
}
