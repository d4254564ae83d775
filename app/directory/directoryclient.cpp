#include "app/directory/directoryclient.h"

#include "app/config/globalfunct.h"
#include "app/config/texts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtGlobal>

namespace {
DirectoryClient* g_shared = nullptr;

QString replyText(QNetworkReply* reply)
{
    QString text = reply->errorString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status > 0)
        text += QStringLiteral(" (HTTP %1)").arg(status);
    return text;
}

// A block check succeeds on an answer longer than 10 characters. The answer is text
// (UTF-8), so it is counted in characters: "Grüße Süd" is 9 of them in 12 bytes. A byte
// that is no UTF-8 counts as one character.
bool answeredEnough(const DirectoryReply& r)
{
    return r.ok && QString::fromUtf8(r.body).toUcs4().size() > 10;
}

// What a download answer leaves at target: the decoded file when its MD5 matches, written
// atomically; on anything else target stays as it was.
DownloadReply storeDownload(const DirectoryReply& r, const QString& target, const QString& expectedMd5)
{
    DownloadReply out;
    if (!r.ok) {
        out.error = r.error;
        return out;
    }
    if (r.body.size() <= 4000)
        return out;
    // Services wrap long Base64 text into lines (MIME style, CR LF every 76 characters):
    // line breaks and blanks are no part of the data. Any other stray character still
    // refuses the answer.
    QByteArray text = r.body;
    text.removeIf([](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; });
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return out;
    const QString md5 =
        QString::fromLatin1(QCryptographicHash::hash(*decoded, QCryptographicHash::Md5).toHex().toUpper());
    // The comparison is exact; a file that does not match never reaches the target path,
    // so a good older file there stays.
    if (md5 != expectedMd5)
        return out;
    if (!WriteFileAtomic(target, *decoded)) {
        out.error = QStringLiteral("cannot write %1").arg(target);
        return out;
    }
    out.ok = true;
    return out;
}
} // namespace

QString DirectoryClient::defaultServiceUrl()
{
    return qEnvironmentVariable("RELAYDECK_DIRECTORY_URL").trimmed();
}

QString DirectoryClient::configuredUrl(const QString& settingValue)
{
    const QString fromEnv = defaultServiceUrl();
    return fromEnv.isEmpty() ? settingValue.trimmed() : fromEnv;
}

DirectoryClient::DirectoryClient(QObject* parent)
    : QObject(parent),
      m_userAgent(GetGeneralText(QStringLiteral("NAME")) + QLatin1Char(' ') + GetGeneralText(QStringLiteral("VERS")))
{
    setServiceUrl(defaultServiceUrl());
    m_log = [](const QString& line) { qWarning("%s", qPrintable(line)); };
}

DirectoryClient::~DirectoryClient()
{
    if (g_shared == this)
        g_shared = nullptr;
}

DirectoryClient* DirectoryClient::shared()
{
    return g_shared;
}

void DirectoryClient::setShared(DirectoryClient* client)
{
    g_shared = client;
}

void DirectoryClient::setServiceUrl(const QString& url)
{
    m_serviceUrl = url.trimmed();
    if (!m_serviceUrl.isEmpty() && !m_serviceUrl.endsWith(QLatin1Char('/')))
        m_serviceUrl += QLatin1Char('/');
}

QUrl DirectoryClient::directoryUrl(const QString& name) const
{
    return QUrl(m_serviceUrl + QLatin1String(kDirectoryPath) + name);
}

QUrl DirectoryClient::supportUrl() const
{
    return QUrl(m_serviceUrl + QLatin1String(kSupportPath));
}

DirectoryParams DirectoryClient::actionParams(const QString& action, const SettingsList& items)
{
    DirectoryParams params;
    params.append({QStringLiteral("action"), Base64Text(action)});
    for (int i = 0; i < items.size(); ++i)
        params.append({items.nameAt(i), items.valueAt(i)});
    return params;
}

QByteArray DirectoryClient::formBody(const DirectoryParams& params)
{
    QByteArray body;
    for (const auto& [name, value] : params) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

void DirectoryClient::post(const QUrl& url, const DirectoryParams& params, QObject* context,
                           std::function<void(const DirectoryReply&)> done)
{
    if (!isConfigured()) {
        // Switched off: nothing goes out, the caller hears so from the event loop as it
        // would hear of a failed request.
        if (!done)
            return;
        QPointer<QObject> guard(context);
        const bool hasContext = context != nullptr;
        QTimer::singleShot(0, this, [guard, hasContext, done = std::move(done)] {
            if (hasContext && !guard)
                return;
            DirectoryReply r;
            r.error = GetExtraText(QStringLiteral("X004"));
            done(r);
        });
        return;
    }
    Pending p;
    p.origin = url;
    p.body = formBody(params);
    p.hasContext = context != nullptr;
    p.context = context;
    p.done = std::move(done);
    ++m_pending;
    send(url, true, kMaxRedirects, std::make_shared<Pending>(std::move(p)));
}

// Redirects are followed here rather than by the network layer, which loses the form of
// a POST on 307/308 and fails the request. The form goes again to the new address (a 303
// asks for a GET without it); a redirect from https to plain http is refused.
void DirectoryClient::send(const QUrl& url, bool isPost, int hopsLeft, std::shared_ptr<Pending> p)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    // Sent with the first request, without waiting for a challenge.
    request.setRawHeader("Authorization", "Basic " + QByteArray(kUser).append(':').append(kPassword).toBase64());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply* reply;
    if (isPost) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
        reply = m_net.post(request, p->body);
    } else {
        reply = m_net.get(request);
    }
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, isPost, hopsLeft, p] {
        reply->deleteLater();
        DirectoryReply r;
        r.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (reply->error() == QNetworkReply::NoError && r.httpStatus >= 300 && r.httpStatus < 400 && target.isValid()) {
            const QUrl next = url.resolved(target);
            if (hopsLeft <= 0) {
                r.error = QStringLiteral("too many redirects");
            } else if (url.scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https")) {
                r.error = QStringLiteral("redirect to an insecure address refused: %1").arg(next.toString());
            } else {
                send(next, isPost && r.httpStatus != 303, hopsLeft - 1, p);
                return;
            }
        } else {
            if (reply->isOpen())
                r.body = reply->readAll();
            r.ok = reply->error() == QNetworkReply::NoError && r.httpStatus < 300; // 0: no HTTP status
            if (!r.ok)
                r.error = replyText(reply);
        }
        --m_pending;
        noteResult(r, p->origin);
        if (p->done && (!p->hasContext || p->context))
            p->done(r);
    });
}

void DirectoryClient::noteResult(const DirectoryReply& reply, const QUrl& url)
{
    if (!m_log)
        return;
    if (!reply.ok) {
        // One line per kind of failure, not one per request: a block check repeats every
        // 5 s for as long as the service is away.
        if (!m_failing || reply.error != m_lastError)
            m_log(QStringLiteral("Directory service %1: %2").arg(url.host(), reply.error));
        m_failing = true;
        m_lastError = reply.error;
    } else if (m_failing) {
        m_log(QStringLiteral("Directory service %1 answers again").arg(url.host()));
        m_failing = false;
        m_lastError.clear();
    }
}

void DirectoryClient::SendeZuWavenestAsync(const QString& name, const DirectoryParams& params, QObject* context,
                                           std::function<void(bool)> done)
{
    post(directoryUrl(name), params, context, [done = std::move(done)](const DirectoryReply& r) {
        if (done)
            done(answeredEnough(r));
    });
}

PluginListReply DirectoryClient::parsePluginList(const QByteArray& xml)
{
    PluginListReply out;
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement()) {
        out.error = reader.hasError() ? reader.errorString() : QStringLiteral("empty answer");
        return out;
    }
    if (reader.name() != QLatin1String("relayd4"))
        return out;
    QList<PluginVersion> list;
    while (reader.readNextStartElement()) {
        PluginVersion v;
        while (reader.readNextStartElement()) {
            const QString field = reader.name().toString();
            const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            if (field == QLatin1String("ident"))
                v.ident = text;
            else if (field == QLatin1String("md5"))
                v.md5 = text;
            else if (field == QLatin1String("sha1"))
                v.sha1 = text;
            else if (field == QLatin1String("file"))
                v.file = text;
        }
        list.append(v);
    }
    if (reader.hasError()) {
        out.error = reader.errorString();
        return out;
    }
    out.list = list;
    return out;
}

void DirectoryClient::EmpfangeVonWavenest(const QString& name, const DirectoryParams& params, QObject* context,
                                          std::function<void(const PluginListReply&)> done)
{
    post(directoryUrl(name), params, context, [done = std::move(done)](const DirectoryReply& r) {
        if (!done)
            return;
        if (!r.ok) {
            PluginListReply out;
            out.error = r.error;
            done(out);
            return;
        }
        done(parsePluginList(r.body));
    });
}

void DirectoryClient::DownloadVonWavenest(const QString& name, const QString& target, const QString& expectedMd5,
                                          const DirectoryParams& params, QObject* context,
                                          std::function<void(const DownloadReply&)> done)
{
    // The answer is stored only while the caller is there to hear of it.
    post(directoryUrl(name), params, context, [target, expectedMd5, done = std::move(done)](const DirectoryReply& r) {
        const DownloadReply out = storeDownload(r, target, expectedMd5);
        if (done)
            done(out);
    });
}

void DirectoryClient::SendSupport(const QString& appLang, const QString& subject, const QString& email,
                                  const QString& message, QObject* context,
                                  std::function<void(const DirectoryReply&)> done)
{
    const DirectoryParams params{
        {QStringLiteral("software"), Base64Text(QStringLiteral("Relaydeck 4.0.x"))},
        {QStringLiteral("language"), Base64Text(appLang)},
        {QStringLiteral("subject"), Base64Text(subject)},
        {QStringLiteral("email"), Base64Text(email)},
        {QStringLiteral("message"), Base64Text(message)},
    };
    post(supportUrl(), params, context, std::move(done));
}
