// The support form: subject, reply address and a message for the maker's support team,
// posted through the directory client. The reply address is remembered in MySupportAddr.
#pragma once
#include "app/directory/directoryclient.h"
#include "app/session/childwindow.h"

#include <QWidget>

#include <functional>

class MainWindow;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class SupportFormWindow : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    static constexpr int kMaxSubject = 55;
    static constexpr int kMaxAddress = 100;
    static constexpr int kMaxMessage = 4000;

    // Posts the form and returns at once; done gets the answer or the error later, unless
    // context (the form) is gone by then. Default: the shared directory client; when that
    // has no address the form says it cannot send and sends nothing.
    using Done = std::function<void(const DirectoryReply&)>;
    using Sender = std::function<void(const QString& subject, const QString& email, const QString& message,
                                      QObject* context, Done done)>;

    explicit SupportFormWindow(MainWindow& main, Sender sender = {}, QWidget* parent = nullptr);

    ChildKind childKind() const override { return ChildKind::SupportForm; }

    QLineEdit* subjectEdit() const { return m_subject; }
    QLineEdit* addressEdit() const { return m_address; }
    QPlainTextEdit* messageEdit() const { return m_message; }
    QString counterText() const;
    bool canSend() const { return m_canSend; }
    // The Send button: checks the fields, stores the address, sends. Until the answer the
    // button is off and a second send does nothing; the form closes when the service
    // answered with a text (shown in a message box).
    void send();
    bool waiting() const { return m_waiting; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void closeForm();
    void answered(const DirectoryReply& reply);
    void updateCounter();

    MainWindow& m_main;
    Sender m_sender;
    bool m_canSend = true;
    bool m_waiting = false;
    int m_request = 0; // the send whose answer is awaited
    QLineEdit* m_subject = nullptr;
    QLineEdit* m_address = nullptr;
    QPlainTextEdit* m_message = nullptr;
    QLabel* m_counter = nullptr;
    QPushButton* m_send = nullptr;
};

void RegisterSupportForm(MainWindow& main);
