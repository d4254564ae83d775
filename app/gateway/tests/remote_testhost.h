// A RemoteCommandHost that records everything the chat command handler does.
#pragma once
#include "app/config/texts.h"
#include "app/gateway/remotecommands.h"
#include "app/gateway/remoteregister.h"
#include "app/session/linksession.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable failure output for Qt strings (internal linkage: private to each test file).
[[maybe_unused]] static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
[[maybe_unused]] static void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << "{";
    for (const QString& s : l)
        *os << "\n  \"" << s.toStdString() << '"';
    *os << " }";
}
[[maybe_unused]] static void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << '"' << b.toStdString() << '"';
}

class RecordingRemoteHost : public RemoteCommandHost {
public:
    explicit RecordingRemoteHost(QString registerPath) : m_path(std::move(registerPath)) {}

    int scHandlerID() const override { return id; }
    QString setting(const QString& key) const override { return settings.value(key); }
    QString ts3Flag(const QString& flag) const override { return flags.value(flag); }
    void setCounter(const QString& name, const QString& seconds) override { counter.setValue(name, seconds); }
    void sendToTS3(const QString& command, const QString& params) override { sent.append({command, params}); }
    void writeLog(const QString& text, LogKind kind) override { logs.append({text, kind}); }
    void playCallTone() override { ++callTones; }
    QString registerPath() const override { return m_path; }

    // The bytes the session would put on the wire for each sent command.
    QList<QByteArray> wire() const
    {
        QList<QByteArray> out;
        for (const auto& s : sent)
            out << LinkSession::encodeCommand(s.first, s.second);
        return out;
    }
    QStringList sentLines() const
    {
        QStringList out;
        for (const auto& s : sent)
            out << s.first + QLatin1Char(' ') + s.second;
        return out;
    }
    QStringList logTexts() const
    {
        QStringList out;
        for (const auto& l : logs)
            out << l.first;
        return out;
    }
    void clear()
    {
        sent.clear();
        logs.clear();
        callTones = 0;
    }

    int id = 5;
    SettingsList settings;
    SettingsList flags;
    SettingsList counter;
    QList<QPair<QString, QString>> sent;
    QList<QPair<QString, LogKind>> logs;
    int callTones = 0;

private:
    QString m_path;
};

// Switches the program language for one test and back.
class LanguageScope {
public:
    explicit LanguageScope(const QString& lang) : m_old(AppLang()) { SetAppLang(lang); }
    ~LanguageScope() { SetAppLang(m_old); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    QString m_old;
};
