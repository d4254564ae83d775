// relaydeck-cli text LANG ID: prints one entry of the text table, e.g.
//   relaydeck-cli text en_US 0142     -> Move not allowed!!
//   relaydeck-cli text GENERAL VERS   -> 4.0.2
// "languages" lists the language blocks as "code<TAB>display name".
#include "tools/cli.h"

#include "app/config/texts.h"

#include <cstdio>

namespace {

int textCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: relaydeck-cli text LANG ID   (LANG: de_DE, en_US or GENERAL)\n");
        return 2;
    }
    const QString text = GetTextLang(QString::fromStdString(args[0]), QString::fromStdString(args[1]));
    // Carriage returns inside a text become line breaks of the terminal.
    QByteArray out = text.toUtf8();
    out.replace('\r', '\n');
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fputc('\n', stdout);
    // A missing text still prints the placeholder, but scripts can tell by the status.
    return text == QLatin1String(kTextNotAvailable) ? 1 : 0;
}

int languagesCommand(const std::vector<std::string>& args)
{
    if (!args.empty()) {
        std::fprintf(stderr, "usage: relaydeck-cli languages\n");
        return 2;
    }
    for (const LanguageItem& item : ListLanguageItems())
        std::printf("%s\t%s\n", item.code.toUtf8().constData(), item.name.toUtf8().constData());
    return 0;
}

const CliCommand kText("text", "text LANG ID  print a text of the text table (LANG de_DE, en_US or GENERAL)",
                       textCommand);
const CliCommand kLanguages("languages", "languages  list the language blocks of the text table (code, name)",
                            languagesCommand);

} // namespace
