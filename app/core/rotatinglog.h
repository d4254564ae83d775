// A log file that never grows without bound: lines are appended to NAME; once it holds
// maxBytes or more, NAME.4 is dropped, NAME.3 becomes NAME.4 ... NAME becomes NAME.1, and
// a new NAME starts. So at most `kept` files stay (NAME and kept-1 older ones).
#pragma once
#include <QFile>
#include <QString>

class RotatingLog {
public:
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    static constexpr int kKept = 5;

    explicit RotatingLog(QString path, qint64 maxBytes = kMaxBytes, int kept = kKept);
    // Appends one line (a line end is added) and flushes it. False when it could not be
    // written; the next line tries again.
    bool append(const QString& line);
    const QString& path() const { return m_path; }

    // A file name for a gateway name: characters a file name cannot hold (path separators,
    // control characters, a leading dot) become "_"; an empty name is "gateway".
    static QString fileNameFor(const QString& gateName);

private:
    bool open();
    void rotate();

    QString m_path;
    qint64 m_maxBytes;
    int m_kept;
    QFile m_file;
};
