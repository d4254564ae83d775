#include "app/config/texts.h"

#include <gtest/gtest.h>

#include <QSet>
#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Both {
    const char* id;
    const char* german;
    const char* english;
};

// Messages and states whose wording in both languages is fixed: other programs' users,
// manuals and support answers quote them. Trailing blanks and carriage returns included.
const Both kFixedTexts[] = {
    {"0007", "Keine Verbindung zu Teamspeak", "Not connected with Teamspeak"},
    {"0008", "Verbunden mit Teamspeak", "connected with Teamspeak"},
    {"0017", "Willkommen", "Welcome"},
    {"0018", "Kein Fehler", "No Error"},
    {"0019", "Programm wirklich beenden?", "really quit Application?"},
    {"0021", "Verbindung herstellen", "Reconnect"},
    {"0060", "Fehler meim Laden der Config-Daten", "Failde to load the config file"},
    {"0061", "Änderungen speichern?", "Save Configuration?"},
    {"0062", "Gateway speichern?", "Save Gateway?"},
    {"0064", "*** Verbindung fehlgeschlagen ***", "*** Connection failed ***"},
    {"0065", "Der Relaydeck kann nur einmal mit dem Teamspeak-Client verbunden werden!!",
     "The Relaydeck can be only one connection to the Teamspeak-Client!!"},
    {"0069", "Dieser Relaydeck ist nicht mit der verwendeten Plugin-Version kompatibel",
     "This Relaydeck is not compatible with the Link-Plugin used"},
    {"0070", "Bitte Update durchführen", "Please perform Update"},
    {"0071", "Link-API ist", "Link-API is"},
    {"0072", "Benötigt", "Needed"},
    {"0073",
     "Das vorhandene Plugin ist z.Zt. in Benutzung...,\r\rDer Teamspeak-Client muss erst beendet werden bevor das "
     "Plugin installiert werden kann",
     "The existing plugin is currently in use...,"},
    {"0074", "Teamspeak-Client jetzt beenden",
     "The Teamspeak-Client must first be completed before the plugin can be installed"},
    {"0101", "[-Neues Gateway-]", "[-New Gateway-]"},
    {"0104", "Nicht verbunden", "Not connected"},
    {"0105", "Verbunden", "Connected"},
    {"0106", "Standby", "Standby"},
    {"0107", "empfange Audio", "receive Audio"},
    {"0108", "sende Audio", "send Audio"},
    {"0120", "Bake ist deaktiviert", "Beacon is OFF"},
    {"0121", "-offline-", "-offline-"},
    {"0122", "aus", "off"},
    {"0123", "an", "on"},
    {"0124", "Kein Server", "No Server"},
    {"0125", "Kein Kanal", "No Channel"},
    {"0126", "jetzt beenden??", "Quit now??"},
    {"0127", "LOGIN", "LOGIN"},
    {"0128", "LOGOUT", "LOGOUT"},
    {"0129", "FEHLER", "ERROR"},
    {"0130", "MOVED", "MOVED"},
    {"0131", "Starte", "Loading"},
    {"0132", "Verbindung hergestellt", "Connected"},
    {"0133", "Verbindung getrennt", "Disconnected"},
    {"0134", "Keine Berechtigung", "Permission denied"},
    {"0141", "Neu verbinden... Bitte kurz warten!!", "Reconnecting... Please wait!!"},
    {"0142", "Verschieben nicht erlaubt!!", "Move not allowed!!"},
    {"0143", "Diesen Kanal als Start-Kanal speichern??", "Save as Default-Channel??"},
    {"0146", "Bake wird gesendet", "Beacon is transmitted"},
    {"0154", "Neue Remote-Registrierung!!", "New Remote-Registry!!"},
    {"0208", "Dieses Gateway wirklich löschen??", "Really delete this Gateway??"},
    {"0209", "Fehler beim löschen!!", "ERROR when deleting!!"},
    {"0215", "Das Gateway ist schon gestartet", "The Gateway is already started"},
    {"0219", "Ein Gateway kann nur gelöscht werden wenn es nicht aktiv ist",
     "A Gateway can only be deleted if it is not active"},
    {"0401", "Relaydeck wird gestartet", "Relaydeck is starting"},
    {"0402", "Starte", "starting"},
    {"0403", "COM-Port öffnen", "open COM-Port"},
    {"0404", "Gateway starten", "Gateway start"},
    {"0405", "Fertig", "Done"},
    {"0462", "Eintrag überschreiben", "Override entry"},
    {"0463", "Eintrag wirklich löschen", "Really delete entry"},
    {"0467", "Eingabe ungültig, Wiedergabe nicht möglich", "Input invalid, not playback possible"},
    {"0468", "Eingabe ungültig, Bitte Daten ändern", "Input invalid, not save possible"},
    {"0601", "Keine Berechtigung für REMOTE-Befehl", "Permission denied for REMOTE-Control-Command"},
    {"0602", "REMOTE-Befehl unbekannt", "REMOTE-Control-Command unknown"},
    {"0603", "MOVE leider nicht möglich...", "not possible..."},
    {"0604", "REMOTE-Befehl", "REMOTE-Control-Command"},
    {"0605", "wird in", "is executed in"},
    {"0606", "Sekunden ausgeführt...", "seconds..."},
    {"0607", "SENDEZEIT-Begrenzung wurde aktiviert", "AIRTIME LIMIT has been activated"},
    {"0608", "Das Gateway ist wieder aktiviert", "The Gateway is re-enabled"},
    {"0609", "Sekunden", "Seconds"},
    {"0610", "Das Gateway ist schon im Kanal", "Gateway is already in the Channel"},
    {"0611", "Verschieben nicht erlaubt, Bitte verwende den Remote-Befehl >> #MOVE",
     "Move not allowed, please use the remote command >> #MOVE "},
    {"0612", "Registrierung wurde gespeichert, warte auf ADMIN ", "Registration is stored, waiting for ADMIN "},
    {"0613", "Der Rufton wird gesendet, Bitte kurz warten... ", "The Ringtone is sent, Please wait for a moment"},
    {"0614", "Dieser REMOTE-Befehl ist nicht aktiviert", "REMOTE-Control-Command disabled"},
    {"0615", "Doppelt-Sprechen ist hier nicht erlaubt!!", "Double-Talk is not allowed here"},
    {"0616", "User Lautstärke wurde geändert von", "User Volume was changed from"},
    {"0617", "auf", "to"},
    {"0618", "Parameter ist ungültig", "Parameter is invalid"},
    {"0619", "verfügbare Remote-Befehle", "available Remote-Commands"},
    {"0704", "Bitte neuen Namen eingeben...", "Please enter new name..."},
    {"0705", "Eingabe ungültig!!", "Input invalid!!"},
    {"0708", "Nur verfügbar wenn verbunden mit Teamspeak...", "Only available when connected to Teamspeak"},
    {"0715", "In dieser Version nicht verfügbar", "In this version not available"},
    {"0746", "Nur verfügbar wenn das Gateway mit einem Server verbunden ist...",
     "Only available when the Gateway is connected to a Server"},
    {"0850", "Dieser COM-Port ist nicht aktiviert...", "This COM-Port is not enabled..."},
    {"0851", "Bitte aktiviere den COMPort erst um Ihn zu verwenden!!",
     "Please activate the COM-Port only to use him!!"},
    {"1004", "Benötigte WAVE-Datei nicht vorhanden", "Needed WAVE-File not found"},
    {"1155", "Bitte erst einen Text für deine Nachricht eingeben!!", "Please only enter a text for your message"},
    {"1156", "Ohne eMail-Adresse können wir deine Anfrage leider NICHT beantworten!!",
     "Without an email address we can not answer your question, unfortunately"},
    {"1157", "Bitte erst einen Titel für deine Nachricht eingeben!!", "Please only enter a Subject for your message"},
};

struct English {
    const char* id;
    const char* english;
};

// Captions and labels with a fixed English wording.
const English kFixedEnglish[] = {
    {"0009", "File"},
    {"0010", "Gateway"},
    {"0011", "Settings"},
    {"0012", "Help"},
    {"0013", "Exit"},
    {"0014", "Create a new Gateway"},
    {"0015", "general Settings"},
    {"0016", "About"},
    {"0022", "Window"},
    {"0023", "List Window"},
    {"0031", "Language"},
    {"0032", "Select"},
    {"0033", "Web-Interface"},
    {"0034", "Enabled"},
    {"0035", "Port"},
    {"0036", "About..."},
    {"0037", "General"},
    {"0038", "TS3-Link Settings"},
    {"0040", "Plugin-Update"},
    {"0041", "Gateway-Update"},
    {"0042", "TS3-Client-EXE"},
    {"0043", "Start-Option"},
    {"0044", "Normal Window"},
    {"0045", "Maximized Window"},
    {"0046", "Minimized Window"},
    {"0047", "End Teamspeak-Client"},
    {"0049", "Install TS3-Plugin to Folder"},
    {"0050", "Check for Updates"},
    {"0051", "Download successfully"},
    {"0052", "Download failed"},
    {"0053", "No new Updates available"},
    {"0102", "Teamspeak Status"},
    {"0103", "COM-Port Status"},
    {"0109", "Output"},
    {"0110", "Input"},
    {"0111", "DTMF is"},
    {"0112", "Connect - Info"},
    {"0113", "Speaking Time Limit"},
    {"0114", "Teamspeak"},
    {"0115", "HF"},
    {"0116", "current Server"},
    {"0117", "current Channel"},
    {"0135", "Functions"},
    {"0136", "Settings"},
    {"0137", "Channel Commander"},
    {"0138", "Away"},
    {"0139", "Playback"},
    {"0140", "Recording"},
    {"0144", "Next Beacon"},
    {"0145", "Sek."},
    {"0147", "Remote-Permissions"},
    {"0148", "Permissions"},
    {"0149", "Request New"},
    {"0150", "active Registrations"},
    {"0151", "ignored Requests"},
    {"0155", "Activate"},
    {"0156", "Ignore"},
    {"0157", "Move"},
    {"0158", "Mute"},
    {"0159", "Rest"},
    {"0160", "Away"},
    {"0161", "Call"},
    {"0162", "Block"},
    {"0163", "User-Talk loudness"},
    {"0201", "My Gateway"},
    {"0202", "Name"},
    {"0203", "last used"},
    {"0204", "Gateway start"},
    {"0210", "Refresh"},
    {"0211", "Create new Gateway"},
    {"0212", "stored Gateways"},
    {"0213", "Hide autostart Gateways"},
    {"0214", "active"},
    {"0216", "Stop Gateway"},
    {"0301", "COM-Port"},
    {"0302", "available COM-Ports"},
    {"0303", "Name"},
    {"0304", "Status"},
    {"0305", "Opening the Status-Window"},
    {"0306", "not used"},
    {"0307", "active"},
    {"0308", "inactive"},
    {"0309", "Save + Open"},
    {"0310", "open COM-Port"},
    {"0311", "close COM-Port"},
    {"0314", "open Status on Autorun"},
    {"0315", "no Status on Autorun"},
    {"0451", "Roger-Beep Creator"},
    {"0452", "stored Roger-Beep"},
    {"0454", "Delete"},
    {"0455", "Save"},
    {"0456", "Beep-Settings"},
    {"0457", "Names"},
    {"0458", "Freq."},
    {"0459", "Duration"},
    {"0460", "Pause"},
    {"0461", "Save as"},
    {"0464", "Preview"},
    {"0465", "Playback-Device"},
    {"0466", "Play"},
    {"0501", "available Window"},
    {"0502", "open Window"},
    {"0503", "Gateways"},
    {"0504", "COM-Port"},
    {"0505", "Setup"},
    {"0506", "Other"},
    {"0507", "Refresh"},
    {"0508", "Auto Refresh"},
    {"0701", "Settings"},
    {"0702", "change name"},
    {"0703", "Change Gateway Name"},
    {"0706", "activated"},
    {"0707", "Reset"},
    {"0713", "Timed Functions"},
    {"0716", "Security check at the end"},
    {"0731", "Channel-Commander"},
    {"0732", "Server-Address"},
    {"0733", "Nickname"},
    {"0734", "Playback-Profile"},
    {"0735", "Recording-Profile"},
    {"0736", "TS3-Identity"},
    {"0737", "Not used"},
    {"0738", "Always on"},
    {"0739", "When activity"},
    {"0740", "Send to TS3"},
    {"0741", "Send to HF"},
    {"0742", "Additional"},
    {"0743", "Allow speak twice"},
    {"0744", "Not move TS3-Client"},
    {"0745", "Send Nickname on Server"},
    {"0747", "Default Channel"},
    {"0748", "Server-Password"},
    {"0749", "Channel-Password"},
    {"0751", "Manual"},
    {"0752", "Bookmark"},
    {"0753", "Bookmark-ID"},
    {"0754", "Allow write Nickname"},
    {"0780", "Relaydeck"},
    {"0781", "Connection"},
    {"0782", "Audio"},
    {"0783", "COM-Port"},
    {"0784", "Beacon / RogerBeep"},
    {"0785", "Remote"},
    {"0786", "WAVE-TX"},
    {"0787", "Statistics"},
    {"0788", "Gateway-Info"},
    {"0800", "Teamspeak-PTT"},
    {"0801", "Play loudness"},
    {"0802", "OFFLINE Audio Playback"},
    {"0804", "use VOX"},
    {"0805", "Use COM-Port input"},
    {"0808", "Level"},
    {"0852", "Output when receiving"},
    {"0853", "Output when sending"},
    {"0854", "Inputs"},
    {"0855", "Select"},
    {"0856", "On"},
    {"0857", "Inverted"},
    {"0858", "Use as Teamspeak-PTT"},
    {"0859", "Autorun"},
    {"0900", "Roger-Beep"},
    {"0901", "acknowledgment of receipt"},
    {"0902", "Radio beacon"},
    {"0903", "Time(Sek.)"},
    {"0904", "after TX"},
    {"0905", "WAVE-File"},
    {"0906", "Wait until no one Speaks"},
    {"0907", "after RX"},
    {"0908", "RX-End Beep"},
    {"0909", "RX-Start Beep"},
    {"0950", "DTMF-Control"},
    {"0951", "Recording apparatus"},
    {"0952", "Input Time (Sek.)"},
    {"0957", "Ringtone Send"},
    {"0958", "Freq. (Hz)"},
    {"0959", "Length (mSek.)"},
    {"0960", "Remote without Registration"},
    {"1000", "INFO-Announcement"},
    {"1001", "User enters Channel"},
    {"1002", "User leaves the Channel"},
    {"1003", "DTMF-Info-Beacon"},
    {"1101", "Send Text on Server"},
    {"1150", "The Support-Form"},
    {"1151", "Subject"},
    {"1152", "Your e-mail address for reply"},
    {"1153", "Your message to the Support-Team"},
    {"1154", "Send"},
    {"1200", "Plugin-Version"},
    {"1201", "Date"},
    {"1202", "File Size"},
    {"1203", "Install the Plugin for Teamspeak3-Client"},
};

// The numbered id ranges; every number of each range exists in both languages.
struct Range {
    int first;
    int last;
};
const Range kRanges[] = {
    {7, 53},    {60, 74},   {101, 163},   {201, 219},   {301, 315},   {401, 405},   {451, 468},
    {501, 508}, {601, 619}, {701, 716},   {730, 754},   {780, 788},   {800, 816},   {850, 859},
    {900, 911}, {950, 960}, {1000, 1004}, {1050, 1050}, {1100, 1101}, {1150, 1157}, {1200, 1203},
};

QString id4(int n)
{
    return QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'));
}

QSet<int> numberedIds()
{
    QSet<int> ids;
    for (const Range& r : kRanges)
        for (int n = r.first; n <= r.last; ++n)
            ids.insert(n);
    return ids;
}

const QString kNa = QStringLiteral("-- n/a --");

// Restores the process-wide language after a test that switches it.
struct LanguageGuard {
    QString saved = AppLang();
    ~LanguageGuard() { SetAppLang(saved); }
};

} // namespace

TEST(Texts, FixedMessagesReadExactlyInBothLanguages)
{
    for (const Both& t : kFixedTexts) {
        SCOPED_TRACE(t.id);
        EXPECT_EQ(GetTextLang("de_DE", t.id), QString::fromUtf8(t.german));
        EXPECT_EQ(GetTextLang("en_US", t.id), QString::fromUtf8(t.english));
    }
    // Spot checks that the literal data really carries what matters on screen.
    EXPECT_EQ(GetTextLang("de_DE", "0061"), QString::fromUtf8("\xC3\x84nderungen speichern?"));
    EXPECT_TRUE(GetTextLang("en_US", "0612").endsWith(QLatin1Char(' ')));
    EXPECT_EQ(GetTextLang("de_DE", "0073").count(QLatin1Char('\r')), 2);
}

TEST(Texts, FixedEnglishCaptionsAndAGermanCounterpart)
{
    for (const English& t : kFixedEnglish) {
        SCOPED_TRACE(t.id);
        EXPECT_EQ(GetTextLang("en_US", t.id), QString::fromUtf8(t.english));
        const QString german = GetTextLang("de_DE", t.id);
        EXPECT_FALSE(german.isEmpty());
        EXPECT_NE(german, kNa);
    }
}

TEST(Texts, LookupFollowsThePrefixRules)
{
    const struct {
        const char* lang;
        const char* id;
        const char* expected;
    } cases[] = {
        {"en_US", "0142", "Move not allowed!!"},
        {"de_DE", "0142", "Verschieben nicht erlaubt!!"},
        // Any other code reads German; the code is compared exactly.
        {"fr_FR", "0142", "Verschieben nicht erlaubt!!"},
        {"", "0142", "Verschieben nicht erlaubt!!"},
        {"en_us", "0142", "Verschieben nicht erlaubt!!"},
        {"EN_US", "0142", "Verschieben nicht erlaubt!!"},
        {"en_US ", "0142", "Verschieben nicht erlaubt!!"},
        // Unknown ids: no second try in another language.
        {"en_US", "9999", "-- n/a --"},
        {"de_DE", "9999", "-- n/a --"},
        {"en_US", "", "-- n/a --"},
        {"en_US", "0142 ", "-- n/a --"},
        {"en_US", "0006", "-- n/a --"},
        {"en_US", "0054", "-- n/a --"},
        {"en_US", "0164", "-- n/a --"},
        // General entries.
        {"GENERAL", "VERS", "4.0.2"},
        {"GENERAL", "vers", "4.0.2"},
        {"GENERAL", "NAME", "Relaydeck"},
        {"GENERAL", "ORGA", "Wavenest"},
        {"GENERAL", "0142", "-- n/a --"},
        {"general", "VERS", "-- n/a --"},
        {"de_DE", "VERS", "-- n/a --"},
        // Ids match without regard to case; the language blocks describe themselves.
        {"en_US", "zm00", "point|~200"},
        {"de_DE", "i021", "ein|und|20"},
        {"de_DE", "IDENT", "de_DE"},
        {"en_US", "namen", "English"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lang) + " / " + c.id);
        EXPECT_EQ(GetTextLang(c.lang, c.id), QString::fromUtf8(c.expected));
    }
    EXPECT_EQ(GetGeneralText("VERS"), QStringLiteral("4.0.2"));
    EXPECT_EQ(TextTable::instance().value("gg-orga"), QStringLiteral("Wavenest"));
    EXPECT_TRUE(TextTable::instance().value("gg-nothing").isNull());
}

TEST(Texts, BothBlocksHoldEveryNumberedIdAndNothingElse)
{
    const TextTable& t = TextTable::instance();
    const QSet<int> ids = numberedIds();
    EXPECT_EQ(ids.size(), 329);
    for (int n = 0; n <= 9999; ++n) {
        for (const char* prefix : {"00-", "01-"}) {
            const QString key = QLatin1String(prefix) + id4(n);
            if (ids.contains(n)) {
                EXPECT_FALSE(t.value(key).isEmpty()) << key.toStdString();
            } else {
                EXPECT_FALSE(t.contains(key)) << key.toStdString();
            }
        }
    }
    // Same ids in both blocks, in the same order; no empty value anywhere.
    QStringList german, english;
    for (const QString& key : t.keys()) {
        EXPECT_FALSE(t.value(key).isEmpty()) << key.toStdString();
        if (key.startsWith(QLatin1String("00-")))
            german.append(key.mid(3));
        else if (key.startsWith(QLatin1String("01-")))
            english.append(key.mid(3));
        else {
            EXPECT_TRUE(key.startsWith(QLatin1String("GG-"))) << key.toStdString();
        }
    }
    EXPECT_EQ(german, english);
    // IDENT, NAMEN, 329 texts, 101 number words, 4 phrases.
    EXPECT_EQ(german.size(), 2 + 329 + 101 + 4);
    EXPECT_EQ(t.size(), 3 + 2 * german.size());
}

TEST(Texts, TableIsFilledGeneralFirstThenEachBlockInOrder)
{
    const QStringList keys = TextTable::instance().keys();
    ASSERT_GE(keys.size(), 8);
    EXPECT_EQ(keys.mid(0, 5), (QStringList{"GG-NAME", "GG-VERS", "GG-ORGA", "00-IDENT", "00-NAMEN"}));
    const int englishStart = int(keys.indexOf(QStringLiteral("01-IDENT")));
    ASSERT_GT(englishStart, 0);
    EXPECT_EQ(keys.at(englishStart - 1), QStringLiteral("00-ZE01"));
    EXPECT_EQ(keys.last(), QStringLiteral("01-ZE01"));
    // Numbered texts ascend, then I000..I100, then the phrases.
    const QStringList german = keys.mid(5, englishStart - 5);
    QStringList numbered = german.mid(0, 329);
    QStringList sorted = numbered;
    sorted.sort();
    EXPECT_EQ(numbered, sorted);
    EXPECT_EQ(german.at(329), QStringLiteral("00-I000"));
    EXPECT_EQ(german.at(429), QStringLiteral("00-I100"));
    EXPECT_EQ(german.mid(430), (QStringList{"00-ZA00", "00-ZM00", "00-ZE00", "00-ZE01"}));
}

TEST(Texts, SpokenNumbersSpellEveryNumberFrom0To100)
{
    const struct {
        int n;
        const char* german;
        const char* english;
    } cases[] = {
        {0, "0", "0"},
        {1, "1", "1"},
        {7, "7", "7"},
        {13, "13", "13"},
        {20, "20", "20"},
        {21, "ein|und|20", "20|1"},
        {22, "2|und|20", "20|2"},
        {30, "30", "30"},
        {31, "ein|und|30", "30|1"},
        {59, "9|und|50", "50|9"},
        {91, "ein|und|90", "90|1"},
        {99, "9|und|90", "90|9"},
        {100, "100", "100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        const QString id = QStringLiteral("I%1").arg(c.n, 3, 10, QLatin1Char('0'));
        EXPECT_EQ(GetTextLang("de_DE", id), QString::fromLatin1(c.german));
        EXPECT_EQ(GetTextLang("en_US", id), QString::fromLatin1(c.english));
    }
    // Every entry's tokens add up to its number; German joins with "und", never says "1"
    // inside a compound, and English never uses "und".
    for (int n = 0; n <= 100; ++n) {
        SCOPED_TRACE(n);
        const QString id = QStringLiteral("I%1").arg(n, 3, 10, QLatin1Char('0'));
        for (const char* lang : {"de_DE", "en_US"}) {
            const QStringList tokens = GetTextLang(lang, id).split(QLatin1Char('|'));
            int sum = 0;
            for (const QString& tok : tokens) {
                if (tok == QLatin1String("und")) {
                    EXPECT_STREQ(lang, "de_DE");
                    continue;
                }
                if (tok == QLatin1String("ein")) {
                    EXPECT_STREQ(lang, "de_DE");
                    sum += 1;
                    continue;
                }
                bool ok = false;
                sum += tok.toInt(&ok);
                EXPECT_TRUE(ok) << tok.toStdString();
                if (tokens.size() > 1 && QLatin1String(lang) == QLatin1String("de_DE")) {
                    EXPECT_NE(tok, QLatin1String("1"));
                }
            }
            EXPECT_EQ(sum, n) << lang;
        }
    }
    EXPECT_EQ(GetTextLang("de_DE", "ZA00"), QStringLiteral("die_zeit"));
    EXPECT_EQ(GetTextLang("en_US", "ZA00"), QStringLiteral("the_time"));
    EXPECT_EQ(GetTextLang("de_DE", "ZM00"), QStringLiteral("uhr|~200|und"));
    EXPECT_EQ(GetTextLang("en_US", "ZM00"), QStringLiteral("point|~200"));
    EXPECT_EQ(GetTextLang("de_DE", "ZE00"), QStringLiteral("minuten"));
    EXPECT_EQ(GetTextLang("de_DE", "ZE01"), QStringLiteral("minuten"));
    EXPECT_EQ(GetTextLang("en_US", "ZE00"), QStringLiteral("am"));
    EXPECT_EQ(GetTextLang("en_US", "ZE01"), QStringLiteral("pm"));
}

TEST(Texts, LanguageListIsGermanThenEnglish)
{
    EXPECT_EQ(ListLanguageItems(), (QList<LanguageItem>{{"Deutsch", "de_DE"}, {"English", "en_US"}}));
    EXPECT_EQ(ListLanguages(), (QStringList{"Deutsch", "English"}));
    EXPECT_EQ(ListLanguageCodes(), (QStringList{"de_DE", "en_US"}));
}

TEST(Texts, LanguageEnumerationStopsAtTheFirstIncompleteBlock)
{
    TextTable t;
    t.set("00-IDENT", "de_DE");
    t.set("00-namen", "Deutsch");
    t.set("01-IDENT", "xx_XX"); // no NAMEN: the list ends before it
    t.set("02-IDENT", "yy_YY");
    t.set("02-NAMEN", "Why");
    EXPECT_EQ(t.languages(), (QList<LanguageItem>{{"Deutsch", "de_DE"}}));

    TextTable empty;
    EXPECT_TRUE(empty.languages().isEmpty());
}

TEST(Texts, SettingAnExistingKeyReplacesItsValueInPlace)
{
    TextTable t;
    t.set("GG-VERS", "1");
    t.set("00-0142", "a");
    t.set("gg-vers", "2");
    EXPECT_EQ(t.keys(), (QStringList{"GG-VERS", "00-0142"}));
    EXPECT_EQ(t.value("Gg-Vers"), QStringLiteral("2"));
    EXPECT_EQ(t.text("GENERAL", "VERS"), QStringLiteral("2"));
    EXPECT_EQ(t.text("de_DE", "0142"), QStringLiteral("a"));
    EXPECT_EQ(t.text("en_US", "0142"), kNa);
}

TEST(Texts, CurrentLanguageSelectsTheBlock)
{
    LanguageGuard guard;
    EXPECT_EQ(TextTable::prefixFor("GENERAL"), QStringLiteral("GG"));
    SetAppLang("de_DE");
    EXPECT_EQ(AppLang(), QStringLiteral("de_DE"));
    EXPECT_EQ(GetText("0101"), QStringLiteral("[-Neues Gateway-]"));
    SetAppLang("en_US");
    EXPECT_EQ(GetText("0101"), QStringLiteral("[-New Gateway-]"));
    EXPECT_EQ(GetText("9999"), kNa);
    SetAppLang("it_IT");
    EXPECT_EQ(GetText("0101"), QStringLiteral("[-Neues Gateway-]"));
}

TEST(Texts, ConcurrentReadersSeeWholeTextsWhileTheLanguageChanges)
{
    LanguageGuard guard;
    InitTexte();
    const QString german = GetTextLang("de_DE", "0141");
    const QString english = GetTextLang("en_US", "0141");
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 4; ++r)
        readers.emplace_back([&] {
            while (!stop.load()) {
                const QString s = GetText("0141");
                if (s != german && s != english)
                    bad.fetch_add(1);
                if (GetTextLang("GENERAL", "NAME") != QLatin1String("Relaydeck"))
                    bad.fetch_add(1);
            }
        });
    for (int i = 0; i < 20000; ++i)
        SetAppLang(i % 2 ? QStringLiteral("en_US") : QStringLiteral("de_DE"));
    stop = true;
    for (auto& th : readers)
        th.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST(Texts, ExtraTextsHaveBothLanguagesAndStayOutOfTheTable)
{
    const QStringList ids = ExtraTextIds();
    ASSERT_FALSE(ids.isEmpty());
    QStringList sorted = ids;
    sorted.sort();
    sorted.removeDuplicates();
    EXPECT_EQ(sorted, ids); // ascending, each id once
    const TextTable& t = TextTable::instance();
    for (const QString& id : ids) {
        SCOPED_TRACE(id.toStdString());
        const QString de = GetExtraTextLang(QStringLiteral("de_DE"), id);
        const QString en = GetExtraTextLang(QStringLiteral("en_US"), id);
        EXPECT_FALSE(de.isEmpty());
        EXPECT_FALSE(en.isEmpty());
        EXPECT_NE(de, en); // a German text, not the English one copied
        EXPECT_EQ(GetExtraTextLang(QStringLiteral("fr_FR"), id), de);
        EXPECT_EQ(GetExtraTextLang(QStringLiteral("en_US"), id.toLower()), en);
        EXPECT_FALSE(t.contains(QStringLiteral("00-") + id));
    }
    EXPECT_EQ(GetExtraTextLang(QStringLiteral("en_US"), QStringLiteral("0142")),
              QString::fromLatin1(kTextNotAvailable));
    EXPECT_EQ(GetExtraTextLang(QStringLiteral("de_DE"), QStringLiteral("X999")),
              QString::fromLatin1(kTextNotAvailable));
    EXPECT_EQ(GetExtraTextLang(QStringLiteral("en_US"), QStringLiteral("X004")),
              QStringLiteral("The directory service is not configured."));
}
