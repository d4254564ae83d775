// libFuzzer target: settings files (main.cfg and the gateway files: Base64 of a settings
// text) and the settings list itself.
// Checks: no crash or sanitizer report; a decoded file encodes and decodes to the same
// list; a settings text parses to the same list after a round trip through its text
// form; after storing a value under any name of the list, that name reads that value.
#include "app/config/globalfunct.h"
#include "app/config/settingslist.h"

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));

    if (const auto list = DecodeSettings(input)) {
        const QByteArray encoded = EncodeSettings(*list);
        const auto again = DecodeSettings(encoded);
        if (!again || !(*again == *list))
            fail("decoded list does not survive encoding", input);
        const auto bytes = DecodeSettingsBytes(encoded);
        if (!bytes || *bytes != list->toText().toLatin1())
            fail("encoded bytes are not the list's text", input);
    }

    const QString text = QString::fromLatin1(input);
    SettingsList list = SettingsList::fromText(text);
    if (!(SettingsList::fromText(list.toText()) == list))
        fail("settings text does not survive a round trip", input);
    for (const QString& line : list.lines())
        if (line.isEmpty() || line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            fail("parsed line is empty or holds a line break", input);

    // Base64 of the text read back (every character is ISO 8859-1 here).
    if (QByteArray::fromBase64(Base64Text(text).toLatin1()) != input)
        fail("Base64Text does not keep the bytes", input);
    (void)Base64ToUnicode(text);

    const int n = list.size();
    for (int i = 0; i < n && i < 16; ++i) {
        const QString name = list.nameAt(i);
        if (name.isEmpty())
            continue;
        SettingsList copy = list;
        copy.setValue(name, QStringLiteral("v=1"));
        if (copy.value(name) != QStringLiteral("v=1") || !copy.contains(name))
            fail("stored value not read back", input);
        (void)copy.boolValue(name);
        (void)copy.intValue(name, 0);
        copy.remove(name);
        if (copy.value(name) == QStringLiteral("v=1"))
            fail("removed value still read", input);
        (void)StrToIntDef(list.valueAt(i), -1);
        (void)TextToBool(list.valueAt(i));
    }
    return 0;
}
