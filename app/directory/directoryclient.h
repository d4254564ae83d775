// The client of the maker's directory service: gateways report themselves, block checks
// run, plugin versions are listed and downloaded, and the support form posts its message.
// Every request is an HTTP(S) POST of an HTML form with basic authentication sent up
// front and redirects followed; in directory requests the value of "action" travels
// Base64-encoded.
//
// The service is far away and may be unreachable for hours while a gateway runs day and
// night. No request ever blocks the user interface: every one runs asynchronously with a
// time-out and hands its result to a callback on this thread, which is dropped when the
// caller's context object is gone by then. Reports and block checks never show a dialog,
// a failure is one log line (and one more line when the service answers again); the
// requests of the plugin update page and the support form give the error to their caller.
#pragma once
#include "app/config/settingslist.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// An ordered form: name/value pairs as they go on the wire.
using DirectoryParams = QList<QPair<QString, QString>>;

struct DirectoryReply {
    bool ok = false;    // the service answered with a success status
    QByteArray body;    // the answer text
    int httpStatus = 0; // 0 when no HTTP answer arrived
    QString error;      // why ok is false
};

// One entry of the plugin version list.
struct PluginVersion {
    QString ident; // version text
    QString md5;   // MD5 of the file, 32 upper-case hexadecimal digits
    QString sha1;
    QString file; // file name
};

struct PluginListReply {
    QString error;                            // request or XML error; empty on success
    std::optional<QList<PluginVersion>> list; // none when the root element is not relayd4
};

struct DownloadReply {
    bool ok = false; // the file was written and its MD5 matches
    QString error;   // request error (ok is false); empty for a short answer or a wrong MD5
};

class DirectoryClient : public QObject {
    Q_OBJECT
public:
    // The service is off unless an address is set: the setting DIRECTORY_URL (scheme and
    // host, for example "https://service.example.net/"), or RELAYDECK_DIRECTORY_URL from
    // the environment, which wins over the setting (tests and the demo point it at a
    // loopback port). With no address no request is ever made.
    static constexpr const char* kSettingKey = "DIRECTORY_URL";
    static QString configuredUrl(const QString& settingValue);
    // The address from the environment alone ("" = off).
    static QString defaultServiceUrl();
    static constexpr const char* kDirectoryPath = "_apis/relayd4/_updates/";
    static constexpr const char* kSupportPath = "_apis/support/vazeve_post.php";
    static constexpr const char* kUser = "rdeck4";
    static constexpr const char* kPassword = "planet4826";
    static constexpr int kDefaultTimeoutMs = 15000;

    explicit DirectoryClient(QObject* parent = nullptr);
    ~DirectoryClient() override;

    // The client that gateways and windows report through (nullptr: reports are dropped).
    static DirectoryClient* shared();
    static void setShared(DirectoryClient* client);

    // Scheme and host of the service, for example "https://service.example.net/"; a
    // missing final "/" is added. Empty switches the service off.
    void setServiceUrl(const QString& url);
    QString serviceUrl() const { return m_serviceUrl; }
    bool isConfigured() const { return !m_serviceUrl.isEmpty(); }
    QUrl directoryUrl(const QString& name) const; // base address + request name
    QUrl supportUrl() const;
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    QString userAgent() const { return m_userAgent; }
    // Where failure and recovery lines go (default: the Qt warning log).
    void setLogSink(std::function<void(const QString&)> sink) { m_log = std::move(sink); }

    // The directory form of a request: "action" first with its value Base64-encoded
    // (Base64Text), then the items in their order, unencoded.
    static DirectoryParams actionParams(const QString& action, const SettingsList& items = {});
    // application/x-www-form-urlencoded body, every value percent-encoded.
    static QByteArray formBody(const DirectoryParams& params);

    // Every request below returns at once. Its done runs on this thread when the answer is
    // there or the request failed (also when no address is set: then from the event loop,
    // never before the call returns), unless context (when given) is gone by then.

    // Posts the form.
    void post(const QUrl& url, const DirectoryParams& params, QObject* context,
              std::function<void(const DirectoryReply&)> done);
    // The directory request name with the params; done gets true when the answer text is
    // longer than 10 characters, false on any failure.
    void SendeZuWavenestAsync(const QString& name, const DirectoryParams& params, QObject* context = nullptr,
                              std::function<void(bool)> done = {});
    // The plugin version list of an XML answer whose root element is relayd4.
    void EmpfangeVonWavenest(const QString& name, const DirectoryParams& params, QObject* context,
                             std::function<void(const PluginListReply&)> done);
    static PluginListReply parsePluginList(const QByteArray& xml);
    // Downloads a Base64-encoded file to target, written atomically. An answer of at most
    // 4000 characters, an answer that is not Base64 or a file whose MD5 (upper-case hex)
    // differs from expectedMd5 leaves target untouched and gives false. When context is
    // gone before the answer, nothing is written.
    void DownloadVonWavenest(const QString& name, const QString& target, const QString& expectedMd5,
                             const DirectoryParams& params, QObject* context,
                             std::function<void(const DownloadReply&)> done);
    // The support form: the answer text, or the error.
    void SendSupport(const QString& appLang, const QString& subject, const QString& email, const QString& message,
                     QObject* context, std::function<void(const DirectoryReply&)> done);

    // Requests still waiting for their answer.
    int pending() const { return m_pending; }

private:
    struct Pending {
        QUrl origin;
        QByteArray body;
        bool hasContext = false;
        QPointer<QObject> context;
        std::function<void(const DirectoryReply&)> done;
    };
    static constexpr int kMaxRedirects = 5;
    void send(const QUrl& url, bool isPost, int hopsLeft, std::shared_ptr<Pending> p);
    void noteResult(const DirectoryReply& reply, const QUrl& url);

    QNetworkAccessManager m_net;
    QString m_serviceUrl;
    QString m_userAgent;
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_pending = 0;
    bool m_failing = false;
    QString m_lastError;
    std::function<void(const QString&)> m_log;
};
