// The bilingual text table: every caption, label, status word and message Relaydeck
// shows, looked up by language and four-character id ("0142").
//
// Keys are a two-character group prefix, "-" and the id: "00-0142" is the German text,
// "01-0142" the English one, "GG-VERS" a language-independent entry. Language groups are
// numbered "00", "01", ... without gaps; each holds "IDENT" (its language code) and
// "NAMEN" (its display name) besides its texts. Keys match without regard to letter case.
//
// The table is filled once, in code, on first use and never changes afterwards, so reads
// from any thread are safe. The current language (AppLang) is a locked value.
#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// One item of the language list: display name ("Deutsch") and language code ("de_DE").
struct LanguageItem {
    QString name;
    QString code;
    bool operator==(const LanguageItem& o) const { return name == o.name && code == o.code; }
};

class TextTable {
public:
    TextTable() = default;
    // The process-wide table, built on first use (thread-safe).
    static const TextTable& instance();

    // The value stored under a full key ("01-0142", "gg-vers"), or a null QString when
    // the key is absent. Case-insensitive.
    QString value(const QString& key) const;
    bool contains(const QString& key) const;
    // Every key in the order it was added (upper case as stored).
    const QStringList& keys() const { return m_order; }
    int size() const { return int(m_order.size()); }

    // The group prefix a language code selects: "GENERAL" -> "GG", "de_DE" -> "00",
    // "en_US" -> "01"; any other code (also "EN_us") -> "00". Compared exactly.
    static QString prefixFor(const QString& language);

    // Text of id in language, or "-- n/a --" when that language's block lacks it. There is
    // no fall-back to another language.
    QString text(const QString& language, const QString& id) const;

    // The language blocks as (display name, code) pairs in prefix order "00", "01", ...;
    // stops at the first prefix that lacks IDENT or NAMEN.
    QList<LanguageItem> languages() const;

    // Builder used while the table is filled: adds the entry or replaces the value of an
    // existing key (keys compared case-insensitively).
    void set(const QString& key, const QString& value);

private:
    QHash<QString, QString> m_values; // upper-case key -> value
    QStringList m_order;
};

// Shown for an id the chosen language lacks.
inline constexpr const char* kTextNotAvailable = "-- n/a --";
// The language word that selects the general entries NAME, VERS and ORGA.
inline constexpr const char* kGeneralLanguage = "GENERAL";

// Builds the table if it is not built yet. Called at start-up before any lookup; every
// lookup also builds it on demand.
void InitTexte();

// The current language code (the main window's AppLang). Default "de_DE".
void SetAppLang(const QString& lang);
QString AppLang();

// Text of id in the current language.
QString GetText(const QString& id);
// Text of id in the given language ("de_DE", "en_US" or "GENERAL"; any other code reads
// German). Never fails: a missing id gives "-- n/a --".
QString GetTextLang(const QString& lang, const QString& id);
// A general entry: "NAME" (product), "VERS" (version), "ORGA" (maker).
QString GetGeneralText(const QString& name);

// The language blocks as (display name, code) pairs, in prefix order "00", "01", ...:
// "Deutsch"/"de_DE", "English"/"en_US". Enumeration stops at the first prefix that lacks
// IDENT or NAMEN.
QList<LanguageItem> ListLanguageItems();
// The display names of ListLanguageItems(), same order (the language drop-down's items).
QStringList ListLanguages();
// The codes of ListLanguageItems(), same order (the data attached to each item).
QStringList ListLanguageCodes();

// Texts this program shows beyond the numbered table (messages and labels of later
// features), in the same two languages and with the same language rule: "en_US" reads
// English, every other code German. Ids are "X" and three digits; an unknown id gives
// "-- n/a --". The numbered table keeps its fixed ranges untouched.
QString GetExtraText(const QString& id);
QString GetExtraTextLang(const QString& lang, const QString& id);
// Every id of the extra texts, ascending.
QStringList ExtraTextIds();
