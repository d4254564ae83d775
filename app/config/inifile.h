// INI files with the semantics of the Windows profile functions, which the files of
// this program (comport.cfg, rogerbeep.cfg, the .rem registers, firstrun.ini) rely on:
// sections and keys match without regard to case, the first match wins, the file keeps
// its order and its comment lines, values are trimmed, a value in matching quotes loses
// them on reading, lines starting with ";" are comments. Bytes are kept as they are:
// each byte is one character (ISO 8859-1), characters beyond that are written as "?".
//
// Every access opens the file, acts and closes it again. Writes replace the file
// atomically (temporary file, then rename), and all accesses to one path in this
// process are serialised, so two writers (a window and an engine) never lose each
// other's change. Booleans are written as "1" and "0".
#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

// The parsed content of an INI file. Lines that are not touched stay byte for byte.
class IniDocument {
public:
    static IniDocument fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    // Trimmed value of the first key of the first matching section; "" with *found false
    // when the section or the key is missing.
    QString value(const QString& section, const QString& key, bool* found = nullptr) const;
    // Replaces the first match, appends the key at the end of the section, or appends a
    // new section at the end of the document.
    void setValue(const QString& section, const QString& key, const QString& value);
    bool removeKey(const QString& section, const QString& key);
    bool removeSection(const QString& section);

    QStringList sections() const;
    QStringList keys(const QString& section) const;
    QList<QPair<QString, QString>> entries(const QString& section) const;
    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;

    bool isModified() const { return m_modified; }

private:
    struct Line {
        QString text;   // without line end
        QString end;    // "\r\n", "\n", "\r" or "" for the last line
    };
    enum class Kind { Other, Section, Key };
    static Kind classify(const QString& text, QString* name, QString* value);
    // Line range [first, last) of the first section of that name (the header included).
    bool findSection(const QString& section, int* header, int* end) const;
    int findKey(int header, int end, const QString& key) const;

    QList<Line> m_lines;
    bool m_modified = false;
};

class IniFile {
public:
    explicit IniFile(QString path);
    const QString& path() const { return m_path; }

    QString readString(const QString& section, const QString& key, const QString& fallback = QString()) const;
    // The value as a decimal integer, or fallback when the key is missing or not a number.
    int readInteger(const QString& section, const QString& key, int fallback) const;
    // A number read as above: non-zero is true.
    bool readBool(const QString& section, const QString& key, bool fallback) const;

    // Each write returns false when the file could not be written (the old file stays).
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, qint64 value);
    bool writeBool(const QString& section, const QString& key, bool value);

    QStringList sections() const;
    QStringList keys(const QString& section) const;
    QList<QPair<QString, QString>> entries(const QString& section) const;
    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;
    bool eraseSection(const QString& section);
    bool deleteKey(const QString& section, const QString& key);

    // Several changes under one lock and with one write (for example a whole section).
    // The file is written only when the document was changed.
    bool edit(const std::function<void(IniDocument&)>& change);
    // A consistent snapshot for several reads.
    IniDocument read() const;

private:
    QString m_path;
};
