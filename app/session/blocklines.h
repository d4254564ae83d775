// Cuts the received byte stream of the plugin session into lines. CR and LF end a line,
// empty lines are dropped. A line that is not finished at the end of a block is kept and
// completed by the next block. A NUL byte ends the usable text of its block (the plugin
// puts one after its greeting): the bytes after it in the same block are thrown away.
// Quote characters are ordinary characters.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

class BlockLines {
public:
    // A pending line longer than this is given up (the stream resumes at its line end).
    explicit BlockLines(qsizetype maxLine = 64 * 1024) : m_maxLine(maxLine) {}

    // The complete lines of the block, in order; each byte is one character (ISO 8859-1).
    QStringList feed(const QByteArray& block);
    bool hasPending() const { return !m_pending.isEmpty(); }
    // The unfinished rest, taken out (for instance when the connection ended).
    QString takePending();
    void reset();

private:
    QByteArray m_pending;
    qsizetype m_maxLine;
    bool m_skipping = false; // inside an over-long line, up to its end
};
