#include "plugin/ini_file.h"

#include "ini/ini.h"

namespace rdplugin {

std::string iniRead(const std::string& path, std::string_view section, std::string_view key,
                    const std::string& fallback)
{
    const rdini::Loaded file = rdini::read(path);
    const std::optional<rdini::Text> v = file.document.value(rdini::fromLatin1(section), rdini::fromLatin1(key));
    return v ? rdini::toLatin1(*v) : fallback;
}

bool iniWrite(const std::string& path, std::string_view section, std::string_view key, std::string_view value)
{
    return rdini::edit(path, [&](rdini::Document& doc) {
        doc.setValue(rdini::fromLatin1(section), rdini::fromLatin1(key), rdini::fromLatin1(value));
    });
}

} // namespace rdplugin
