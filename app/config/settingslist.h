// An ordered list of "name=value" entries: application settings, gateway settings, the
// items of a received link line and the gateway's runtime lists. Names match without
// regard to case and the first match wins; storing "" deletes the entry, so an empty
// value and an absent name are the same.
//
// A long list (a gateway's settings, read on every 100 ms tick) keeps a table of its names
// for its lookups, made at the first lookup after a change; so, like a change, a lookup
// must not run on two threads at once. Every change gives the list a new revision, so a
// reader may keep what it took from a list for as long as the revision stays the same.
#pragma once
#include <QString>
#include <QStringList>

#include <vector>

class SettingsList {
public:
    SettingsList() = default;
    explicit SettingsList(QStringList lines) : m_lines(std::move(lines)) {}
    // A copy, and a list moved from, have revisions of their own.
    SettingsList(const SettingsList& o) : m_lines(o.m_lines), m_slots(o.m_slots), m_noTable(o.m_noTable) {}
    SettingsList(SettingsList&& o) noexcept
        : m_lines(std::move(o.m_lines)), m_slots(std::move(o.m_slots)), m_noTable(o.m_noTable)
    {
        o.emptied();
    }
    SettingsList& operator=(const SettingsList& o)
    {
        m_lines = o.m_lines;
        m_slots = o.m_slots;
        m_noTable = o.m_noTable;
        touch();
        return *this;
    }
    SettingsList& operator=(SettingsList&& o) noexcept
    {
        if (this == &o)
            return *this;
        m_lines = std::move(o.m_lines);
        m_slots = std::move(o.m_slots);
        m_noTable = o.m_noTable;
        touch();
        o.emptied();
        return *this;
    }

    // Value of the first entry whose name matches (case-insensitive), or "".
    QString value(const QString& name) const;
    // Replaces the first match, appends a new name, or deletes every match for "".
    void setValue(const QString& name, const QString& value);
    bool contains(const QString& name) const { return indexOf(name) >= 0; }
    void remove(const QString& name) { setValue(name, QString()); }
    // "True"/"False"; reads true for "true" in any case or a non-zero integer.
    bool boolValue(const QString& name) const;
    void setBool(const QString& name, bool v) { setValue(name, v ? QStringLiteral("True") : QStringLiteral("False")); }
    // The value as a decimal integer, or fallback when it is not one.
    int intValue(const QString& name, int fallback) const;
    void setInt(const QString& name, qint64 v) { setValue(name, QString::number(v)); }

    // Index of the first entry with that name, or -1.
    int indexOf(const QString& name) const;
    int size() const { return int(m_lines.size()); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    void clear()
    {
        m_lines.clear();
        dropTable();
        touch();
    }
    QString nameAt(int i) const;
    QString valueAt(int i) const;
    const QStringList& lines() const { return m_lines; }
    // For a change made right away: the name table is dropped and the revision moves on
    // here, so the reference must not be kept for writing after the next lookup.
    QStringList& lines()
    {
        dropTable();
        touch();
        return m_lines;
    }
    // Changes with every change of the entries; never 0.
    quint64 revision() const { return m_revision; }

    // Text form: entries joined by CR LF (each line ended by CR LF). Parsing splits at
    // CR, LF or CR LF and drops empty lines.
    QString toText() const;
    static SettingsList fromText(const QString& text);

    bool operator==(const SettingsList& o) const { return m_lines == o.m_lines; }

private:
    // The name table: open addressing over the entries' name parts in ASCII lower case,
    // each slot an entry's index + 1 (0 free), holding the first entry of each name only.
    // A hit is checked against the entry itself. Empty: made at the next lookup. A list
    // with a name outside ASCII is searched entry by entry (case folding there is
    // Unicode's) until its next change.
    static constexpr int kTableFrom = 16; // shorter lists are searched entry by entry
    int scan(const QString& name) const;
    int lookUp(const QString& name, size_t hash) const;
    void buildTable() const;
    bool addToTable(int i) const; // false: a name outside ASCII
    void dropTable()
    {
        m_slots.clear();
        m_noTable = false;
    }
    static quint64 nextRevision();
    void touch() { m_revision = nextRevision(); }
    void emptied()
    {
        m_lines.clear();
        dropTable();
        touch();
    }

    QStringList m_lines;
    mutable std::vector<int> m_slots;
    mutable bool m_noTable = false;
    quint64 m_revision = nextRevision();
};

// The text read as a decimal integer (optional sign, surrounding blanks allowed), or
// fallback when it is not one.
int StrToIntDef(const QString& text, int fallback);
qint64 StrToInt64Def(const QString& text, qint64 fallback);
bool IsInteger(const QString& text);
// "True" in any case or a non-zero integer.
bool TextToBool(const QString& text);
