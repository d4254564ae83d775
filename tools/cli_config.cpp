// relaydeck-cli commands for the link escaping and the Base64 settings files:
//   escape TEXT              the text as a link value ("A B" -> "A^sB")
//   unescape TEXT            the reverse
//   decode-config FILE       the settings text of a gateway file or main.cfg, byte for byte
//   encode-config TEXT OUT   a settings text (CR LF lines, ISO 8859-1) written as such a file
// decode-config followed by encode-config gives back the same file.
#include "tools/cli.h"

#include "app/config/globalfunct.h"
#include "link/wire.h"

#include <QFile>
#include <QString>

#include <cstdio>

namespace {

void writeOut(const std::string& s)
{
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fputc('\n', stdout);
}

int escapeCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: relaydeck-cli escape TEXT\n");
        return 2;
    }
    writeOut(rdlink::escape(args[0]));
    return 0;
}

int unescapeCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: relaydeck-cli unescape TEXT\n");
        return 2;
    }
    writeOut(rdlink::unescape(args[0]));
    return 0;
}

bool readFile(const std::string& name, QByteArray* bytes)
{
    QFile f(QString::fromLocal8Bit(name.c_str()));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "relaydeck-cli: cannot read %s: %s\n", name.c_str(),
                     f.errorString().toLocal8Bit().constData());
        return false;
    }
    *bytes = f.readAll();
    return true;
}

int decodeCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: relaydeck-cli decode-config FILE\n");
        return 2;
    }
    QByteArray file;
    if (!readFile(args[0], &file))
        return 1;
    const auto text = DecodeSettingsBytes(file);
    if (!text) {
        std::fprintf(stderr, "relaydeck-cli: %s is not a settings file (not Base64)\n", args[0].c_str());
        return 1;
    }
    std::fwrite(text->constData(), 1, size_t(text->size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int encodeCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: relaydeck-cli encode-config TEXTFILE OUT\n");
        return 2;
    }
    QByteArray text;
    if (!readFile(args[0], &text))
        return 1;
    if (!WriteFileAtomic(QString::fromLocal8Bit(args[1].c_str()), text.toBase64())) {
        std::fprintf(stderr, "relaydeck-cli: cannot write %s (the previous file is unchanged)\n", args[1].c_str());
        return 1;
    }
    return 0;
}

const CliCommand kEscape("escape", "escape TEXT  escape a text as a link value", escapeCommand);
const CliCommand kUnescape("unescape", "unescape TEXT  undo the escaping of a link value", unescapeCommand);
const CliCommand kDecode("decode-config", "decode-config FILE  print the settings text of a .rdk file or main.cfg",
                         decodeCommand);
const CliCommand kEncode("encode-config", "encode-config TEXTFILE OUT  write a settings text as a .rdk/main.cfg file",
                         encodeCommand);

} // namespace
