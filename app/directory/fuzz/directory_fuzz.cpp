// libFuzzer target: what the directory service answers and what is sent to it. The
// input up to the first 0x00 byte is a plugin version list answer; the rest is a request:
// action text, then items "name=value", separated by 0x01 bytes.
// Checks: no crash or sanitizer report; an answer gives a list or an error, never both;
// a request form is plain URL-encoded ASCII that decodes back to the action (Base64) and
// the items in their order.
#include "app/config/globalfunct.h"
#include "app/directory/directoryclient.h"

#include <QCoreApplication>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& input)
{
    std::fprintf(stderr, "%s for input %s\n", what, input.toHex().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = input.indexOf('\0');
    const PluginListReply reply = DirectoryClient::parsePluginList(cut < 0 ? input : input.left(cut));
    if (reply.list && !reply.error.isEmpty())
        fail("a list and an error", input);
    if (reply.list)
        for (const PluginVersion& v : *reply.list)
            (void)(v.ident.size() + v.md5.size() + v.sha1.size() + v.file.size());
    if (cut < 0)
        return 0;

    const QList<QByteArray> parts = input.mid(cut + 1).split('\x01');
    const QString action = QString::fromUtf8(parts[0]);
    SettingsList items;
    for (qsizetype i = 1; i < parts.size(); ++i)
        items.lines() << QString::fromUtf8(parts[i]);
    const DirectoryParams params = DirectoryClient::actionParams(action, items);
    if (params.isEmpty() || params[0].first != QLatin1String("action") || params[0].second != Base64Text(action))
        fail("action is not first and Base64-encoded", input);
    const QByteArray body = DirectoryClient::formBody(params);
    for (char c : body) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x21 || u > 0x7E || c == '+' || c == ' ')
            fail("form body is not plain URL-encoded ASCII", input);
    }
    const QList<QByteArray> fields = body.split('&');
    if (fields.size() != params.size())
        fail("form has another number of fields", input);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const qsizetype eq = fields[i].indexOf('=');
        if (eq < 0 || QString::fromUtf8(QByteArray::fromPercentEncoding(fields[i].left(eq))) != params[i].first ||
            QString::fromUtf8(QByteArray::fromPercentEncoding(fields[i].mid(eq + 1))) != params[i].second)
            fail("form field does not decode back", input);
    }
    (void)DirectoryClient::parsePluginList(body);
    return 0;
}
