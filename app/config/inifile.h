// INI files with the semantics of the Windows profile functions, which the files of
// this program (comport.cfg, rogerbeep.cfg, the .rem registers, firstrun.ini) rely on.
// A thin Qt face of the reader and writer in ini/ini.h, which the plugin uses too; the
// rules are written there. In short: sections and keys match without regard to case, the
// first match wins, the file keeps its order, its comments and its encoding (8-bit, one
// byte per character, or UTF-16 with a byte order mark), names and values lose blanks and
// tabs at their ends, a value in matching quotes loses them on reading.
//
// Every access opens the file, acts and closes it again. Writes replace the file
// atomically (temporary file, then rename), and all accesses to one path in this
// process are serialised, so two writers (a window and an engine) never lose each
// other's change. A file that exists but cannot be read is never written over: the
// write fails and the reason, with the file's name, goes to the relaydeck.config log.
// Booleans are written as "1" and "0".
#pragma once
#include "ini/ini.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

// The parsed content of an INI file. Lines that are not touched stay byte for byte.
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(rdini::Document doc) : m_doc(std::move(doc)) {}
    static IniDocument fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    // Value of the first key of the first matching section; "" with *found false when
    // the section or the key is missing (a key line without "=" counts as missing).
    QString value(const QString& section, const QString& key, bool* found = nullptr) const;
    // Replaces the first match, appends the key at the end of the section, or appends a
    // new section at the end of the document.
    void setValue(const QString& section, const QString& key, const QString& value);
    bool removeKey(const QString& section, const QString& key);
    // The header and the key lines of the first matching section; comments stay.
    bool removeSection(const QString& section);

    // Every section header / key line in file order, repeated names included.
    QStringList sections() const;
    QStringList keys(const QString& section) const;
    QList<QPair<QString, QString>> entries(const QString& section) const;
    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;

    bool isModified() const { return m_doc.modified(); }
    bool isUtf16() const { return m_doc.encoding() != rdini::Encoding::Bytes; }
    rdini::Document& core() { return m_doc; }

private:
    rdini::Document m_doc;
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

    // Each write returns false when the file could not be read or written (the old file stays).
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
    // The file is written only when the document was changed; false when the file exists
    // but cannot be read, or cannot be written.
    bool edit(const std::function<void(IniDocument&)>& change);
    // A consistent snapshot for several reads; a file that cannot be read reads as empty.
    IniDocument read() const;
    // Whether the file exists but cannot be read.
    bool unreadable() const;

private:
    QString m_path;
};
