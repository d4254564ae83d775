#include "app/ui/supportformwindow.h"

#include "app/config/texts.h"
#include "app/ui/mainwindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>

SupportFormWindow::SupportFormWindow(MainWindow& main, Sender sender, QWidget* parent)
    : QWidget(parent), m_main(main), m_sender(std::move(sender))
{
    if (!m_sender) {
        const DirectoryClient* d = DirectoryClient::shared();
        m_canSend = d && d->isConfigured();
        m_sender = [](const QString& subject, const QString& email, const QString& message, QObject* context,
                      Done done) {
            DirectoryClient* d = DirectoryClient::shared();
            if (!d || !d->isConfigured()) {
                DirectoryReply r;
                r.error = GetExtraText(QStringLiteral("X005"));
                done(r);
                return;
            }
            d->SendSupport(AppLang(), subject, email, message, context, std::move(done));
        };
    }
    m_subject = new QLineEdit(this);
    m_subject->setObjectName(QStringLiteral("subject"));
    m_subject->setMaxLength(kMaxSubject);
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("email"));
    m_address->setMaxLength(kMaxAddress);
    m_address->setText(main.globalConfig().value(QStringLiteral("MySupportAddr")));
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_counter = new QLabel(this);
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_send = new QPushButton(GetText(QStringLiteral("1154")), this);
    m_send->setObjectName(QStringLiteral("send"));
    connect(m_message, &QPlainTextEdit::textChanged, this, [this] { updateCounter(); });
    connect(m_send, &QPushButton::clicked, this, [this] { m_main.guarded([this] { send(); }); });

    auto* form = new QVBoxLayout(this);
    if (!m_canSend) {
        // No directory service: the form says so before anything is typed.
        auto* off = new QLabel(GetExtraText(QStringLiteral("X005")), this);
        off->setObjectName(QStringLiteral("cannotSend"));
        off->setWordWrap(true);
        off->setStyleSheet(QStringLiteral("color: #FF0000; font-weight: bold;"));
        form->addWidget(off);
        m_send->setEnabled(false);
    }
    form->addWidget(new QLabel(GetText(QStringLiteral("1151")), this));
    form->addWidget(m_subject);
    form->addWidget(new QLabel(GetText(QStringLiteral("1152")), this));
    form->addWidget(m_address);
    form->addWidget(new QLabel(GetText(QStringLiteral("1153")), this));
    form->addWidget(m_message, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_counter, 1);
    bottom->addWidget(m_send);
    form->addLayout(bottom);
    updateCounter();
}

void SupportFormWindow::updateCounter()
{
    // The message box has no length limit of its own: what goes beyond it is cut here.
    QString text = m_message->toPlainText();
    if (text.size() > kMaxMessage) {
        QTextCursor c = m_message->textCursor();
        const int pos = c.position();
        text.truncate(kMaxMessage);
        const QSignalBlocker block(m_message);
        m_message->setPlainText(text);
        c = m_message->textCursor();
        c.setPosition(qMin(pos, int(text.size())));
        m_message->setTextCursor(c);
    }
    m_counter->setText(QStringLiteral("%1 / %2").arg(text.size()).arg(kMaxMessage));
}

QString SupportFormWindow::counterText() const
{
    return m_counter->text();
}

void SupportFormWindow::send()
{
    if (m_waiting)
        return; // the form is out: a second click sends nothing
    if (!m_canSend) {
        m_main.showMessage(SessionView::MessageKind::Error, GetExtraText(QStringLiteral("X005")));
        return;
    }
    const QString subject = m_subject->text();
    const QString address = m_address->text();
    const QString message = m_message->toPlainText();
    const char* missing = subject.isEmpty()   ? "1157"
                          : address.isEmpty() ? "1156"
                          : message.isEmpty() ? "1155"
                                              : nullptr;
    if (missing) {
        m_main.showMessage(SessionView::MessageKind::Error, GetText(QString::fromLatin1(missing)));
        return;
    }
    m_main.globalConfig().setValue(QStringLiteral("MySupportAddr"), address);
    m_waiting = true;
    m_send->setEnabled(false);
    // The answer is dropped when the form is closed or gone by then.
    QPointer<SupportFormWindow> self(this);
    const int request = ++m_request;
    m_sender(subject, address, message, this, [self, request](const DirectoryReply& reply) {
        if (self && self->m_waiting && self->m_request == request)
            self->m_main.guarded([&] { self->answered(reply); });
    });
}

void SupportFormWindow::closeEvent(QCloseEvent* event)
{
    ++m_request; // an answer still on its way is not shown
    m_waiting = false;
    m_send->setEnabled(m_canSend);
    QWidget::closeEvent(event);
}

void SupportFormWindow::answered(const DirectoryReply& reply)
{
    m_waiting = false;
    m_send->setEnabled(m_canSend);
    if (!reply.error.isEmpty())
        m_main.applicationError(reply.error);
    const QString answer = reply.ok ? QString::fromUtf8(reply.body).trimmed() : QString();
    if (answer.isEmpty())
        return; // nothing came back: the form stays open for another try
    m_main.showMessage(SessionView::MessageKind::Information, answer);
    closeForm();
}

void SupportFormWindow::closeForm()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void RegisterSupportForm(MainWindow& main)
{
    main.setChildFactory(ChildKind::SupportForm, [](MainWindow& m, const QString&, const SettingsList&) -> QWidget* {
        return new SupportFormWindow(m);
    });
}
