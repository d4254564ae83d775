#include "app/config/texts.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

struct NumberedText {
    const char* id;
    const char* german;  // UTF-8
    const char* english; // UTF-8
};

// The 329 numbered texts of both languages, ascending by id.
constexpr NumberedText kNumbered[] = {
#include "app/config/texts_numbered.inc"
};

// Texts of later features, outside the numbered table; ascending by id.
constexpr NumberedText kExtra[] = {
    {"X001", "Erlaubte Hostnamen", "Allowed host names"},
    {"X002",
     "Weitere Namen, unter denen dieser PC im Browser aufgerufen wird (durch Komma getrennt). IP-Adressen, localhost "
     "und der Name dieses PCs gelten immer; jeder andere Name wird abgewiesen.",
     "Further names this PC is opened by in a browser (separated by commas). IP addresses, localhost and this PC's "
     "name always work; every other name is refused."},
    {"X003", "Verzeichnisdienst", "Directory service"},
    {"X004", "Der Verzeichnisdienst ist nicht eingerichtet.", "The directory service is not configured."},
    {"X005", "Die Nachricht kann nicht gesendet werden: der Verzeichnisdienst ist nicht eingerichtet.",
     "The message cannot be sent: the directory service is not configured."},
    {"X006", "Der Verzeichnisdienst ist nicht erreichbar.", "The directory service cannot be reached."},
    {"X007", "Der Verzeichnisdienst hat nicht geantwortet.", "The directory service did not answer."},
    {"X008", "main.cfg konnte nicht geschrieben werden.", "main.cfg could not be written."},
    {"X009", "Die Plugin-Datei fehlt:", "The plugin file is missing:"},
    {"X010", "Der Ordner existiert nicht:", "The folder does not exist:"},
    {"X011", "Adresse des Dienstes (leer = aus)", "Address of the service (empty = off)"},
    // The status page of the web interface.
    {"X012", "verbunden", "connected"},
    {"X013", "nicht verbunden", "not connected"},
    {"X014", "Funk-PTT", "radio PTT"},
    {"X015", "Rauschsperre offen", "squelch open"},
    {"X016", "sendet in Teamspeak", "transmitting to TeamSpeak"},
    {"X017", "Server", "server"},
    {"X018", "Kanal", "channel"},
    {"X019", "Sprecher", "talkers"},
    {"X020", "Bake", "beacon"},
    {"X021", "DTMF-Steuerung", "DTMF control"},
    {"X022", "Sendezeit Funk", "radio airtime"},
    {"X023", "Sendezeit Teamspeak", "TeamSpeak airtime"},
    {"X024", "gesperrt", "blocked"},
    {"X025", "Teamspeak-Plugin", "TeamSpeak plugin"},
    {"X026", "Relaydeck antwortet nicht", "no answer from Relaydeck"},
    {"X027", "Kein Gateway geöffnet", "No gateway open"},
    {"X028", "Gateway-Datei öffnen", "Open gateway file"},
    {"X029", "Gateway-Dateien", "Gateway files"},
    {"X030", "Unbekannter Fehler", "Unknown error"},
    {"X031",
     "Ein TeamSpeak-Client %1 unter Linux braucht ClientAPI=%2 in der Plugin-Einstellungsdatei Relaydeck[LINK].ini im "
     "Ordner, in dem der Client läuft; dieser Ordner ist nicht bekannt.",
     "A TeamSpeak client %1 on Linux needs ClientAPI=%2 in the plugin's settings file Relaydeck[LINK].ini in the "
     "folder "
     "the client runs in, and that folder is not known."},
    {"X032", "TeamSpeak-Client", "TeamSpeak client"},
    {"X033", "Geben Sie das Client-Programm unter „%1“ auf der Seite „%2“ an.",
     "Enter the client program as \"%1\" on the page \"%2\"."},
    {"X034", "Der Verzeichnisdienst wird gefragt …", "Asking the directory service …"},
};

QString keyOf(const QString& prefix, const QString& id)
{
    return prefix + QLatin1Char('-') + id;
}

// The spoken-number token for n in 0..100. Numbers up to 20 and the tens are their own
// digits; a compound German number puts the unit first ("2|und|20", with "ein" for one),
// an English one the ten first ("20|2").
QString spokenNumber(int n, bool german)
{
    if (n <= 20 || n % 10 == 0)
        return QString::number(n);
    const int tens = n - n % 10;
    const int unit = n % 10;
    if (german)
        return (unit == 1 ? QStringLiteral("ein") : QString::number(unit)) + QStringLiteral("|und|") +
               QString::number(tens);
    return QString::number(tens) + QLatin1Char('|') + QString::number(unit);
}

void addLanguageBlock(TextTable& t, const QString& prefix, bool german)
{
    t.set(keyOf(prefix, QStringLiteral("IDENT")), german ? QStringLiteral("de_DE") : QStringLiteral("en_US"));
    t.set(keyOf(prefix, QStringLiteral("NAMEN")), german ? QStringLiteral("Deutsch") : QStringLiteral("English"));
    for (const NumberedText& e : kNumbered)
        t.set(keyOf(prefix, QString::fromLatin1(e.id)), QString::fromUtf8(german ? e.german : e.english));
    for (int n = 0; n <= 100; ++n)
        t.set(keyOf(prefix, QStringLiteral("I%1").arg(n, 3, 10, QLatin1Char('0'))), spokenNumber(n, german));
    t.set(keyOf(prefix, QStringLiteral("ZA00")), german ? QStringLiteral("die_zeit") : QStringLiteral("the_time"));
    t.set(keyOf(prefix, QStringLiteral("ZM00")),
          german ? QStringLiteral("uhr|~200|und") : QStringLiteral("point|~200"));
    t.set(keyOf(prefix, QStringLiteral("ZE00")), german ? QStringLiteral("minuten") : QStringLiteral("am"));
    t.set(keyOf(prefix, QStringLiteral("ZE01")), german ? QStringLiteral("minuten") : QStringLiteral("pm"));
}

TextTable buildTable()
{
    TextTable t;
    t.set(QStringLiteral("GG-NAME"), QStringLiteral("Relaydeck"));
    t.set(QStringLiteral("GG-VERS"), QStringLiteral("4.0.2"));
    t.set(QStringLiteral("GG-ORGA"), QStringLiteral("Wavenest"));
    addLanguageBlock(t, QStringLiteral("00"), true);
    addLanguageBlock(t, QStringLiteral("01"), false);
    return t;
}

// The current language; function-local so it is ready even for callers that run during
// static initialisation.
struct CurrentLanguage {
    QMutex mutex;
    QString code = QStringLiteral("de_DE");
};
CurrentLanguage& currentLanguage()
{
    static CurrentLanguage current;
    return current;
}

} // namespace

const TextTable& TextTable::instance()
{
    static const TextTable table = buildTable();
    return table;
}

QString TextTable::value(const QString& key) const
{
    return m_values.value(key.toUpper());
}

bool TextTable::contains(const QString& key) const
{
    return m_values.contains(key.toUpper());
}

QString TextTable::prefixFor(const QString& language)
{
    if (language == QLatin1String(kGeneralLanguage))
        return QStringLiteral("GG");
    if (language == QLatin1String("en_US"))
        return QStringLiteral("01");
    return QStringLiteral("00");
}

QString TextTable::text(const QString& language, const QString& id) const
{
    auto it = m_values.constFind(keyOf(prefixFor(language), id).toUpper());
    if (it == m_values.constEnd())
        return QString::fromLatin1(kTextNotAvailable);
    return it.value();
}

QList<LanguageItem> TextTable::languages() const
{
    QList<LanguageItem> items;
    for (int n = 0; n <= 999; ++n) {
        // Two digits at least; from 100 on the number simply grows to three.
        const QString prefix = QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        const auto ident = m_values.constFind(keyOf(prefix, QStringLiteral("IDENT")));
        const auto name = m_values.constFind(keyOf(prefix, QStringLiteral("NAMEN")));
        if (ident == m_values.constEnd() || name == m_values.constEnd())
            break;
        items.append(LanguageItem{name.value(), ident.value()});
    }
    return items;
}

void TextTable::set(const QString& key, const QString& value)
{
    const QString k = key.toUpper();
    if (!m_values.contains(k))
        m_order.append(k);
    m_values.insert(k, value);
}

void InitTexte()
{
    (void)TextTable::instance();
}

void SetAppLang(const QString& lang)
{
    CurrentLanguage& c = currentLanguage();
    QMutexLocker lock(&c.mutex);
    c.code = lang;
}

QString AppLang()
{
    CurrentLanguage& c = currentLanguage();
    QMutexLocker lock(&c.mutex);
    return c.code;
}

QString GetText(const QString& id)
{
    return TextTable::instance().text(AppLang(), id);
}

QString GetTextLang(const QString& lang, const QString& id)
{
    return TextTable::instance().text(lang, id);
}

QString GetGeneralText(const QString& name)
{
    return TextTable::instance().text(QString::fromLatin1(kGeneralLanguage), name);
}

QList<LanguageItem> ListLanguageItems()
{
    return TextTable::instance().languages();
}

QStringList ListLanguages()
{
    QStringList names;
    for (const LanguageItem& item : ListLanguageItems())
        names.append(item.name);
    return names;
}

QStringList ListLanguageCodes()
{
    QStringList codes;
    for (const LanguageItem& item : ListLanguageItems())
        codes.append(item.code);
    return codes;
}

QString GetExtraTextLang(const QString& lang, const QString& id)
{
    const bool english = lang == QLatin1String("en_US");
    for (const NumberedText& e : kExtra)
        if (id.compare(QLatin1String(e.id), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(english ? e.english : e.german);
    return QString::fromLatin1(kTextNotAvailable);
}

QString GetExtraText(const QString& id)
{
    return GetExtraTextLang(AppLang(), id);
}

QStringList ExtraTextIds()
{
    QStringList ids;
    for (const NumberedText& e : kExtra)
        ids.append(QString::fromLatin1(e.id));
    return ids;
}
