#pragma once

// The settings file: a Windows-style profile ("[SECTION]" lines and "key=value" lines).
// Reads follow the platform's profile calls: blanks around names and values are dropped,
// section and key names match regardless of case, a value is at most 255 characters, a
// missing file, section or key reads as "". A write changes only the line of its key (or
// adds it), keeps every other byte of the file (line ends included, whichever they are),
// and replaces the file atomically with its mode and owner kept, so a failed write leaves
// the old file as it was. A file that exists but cannot be read (no permission, larger
// than kMaxFileSize, a folder) reads as empty and is never written.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace dialkite {

// The file as read at one moment. An operation that needs several keys reads the file
// once and looks them all up here.
class Profile {
public:
    struct Line {
        QByteArray raw;     // without its line end
        QByteArray end;     // "\n", "\r\n", "\r", or "" for a last line without one
        QByteArray section; // set on "[name]" lines
        QByteArray key;     // set on "key=value" lines
        QByteArray value;
    };

    static Profile parse(const QByteArray &content);

    QString value(const QString &section, const QString &key) const;
    // The file with `key` of `section` set to `value`, every other byte kept.
    QByteArray withValue(const QString &section, const QString &key, const QString &value) const;
    QByteArray content() const;
    // The names of the file's sections, in order, each once.
    QStringList sections() const;
    // Every section heading with its line (counted from 1), repeats included.
    QList<std::pair<QString, int>> headings() const;

private:
    std::pair<qsizetype, qsizetype> sectionRange(const QString &section) const;
    qsizetype keyLine(std::pair<qsizetype, qsizetype> range, const QString &key) const;
    QByteArray newLineEnd() const;

    QList<Line> m_lines;
    bool m_bom = false;
};

class Settings {
public:
    // A settings file is a few hundred bytes; anything above this is refused unread.
    static constexpr qint64 kMaxFileSize = 64 * 1024;

    explicit Settings(QString path);

    // "Dial Kite.ini" beside the program while its folder can be written (as the
    // console has always kept it); else in the per-user config folder, where an
    // existing file beside the program is copied first so that it keeps working.
    static QString defaultPath();
    // The same choice for given folders.
    static QString choosePath(const QString &programFolder, const QString &userFolder);

    const QString &path() const { return m_path; }
    // The file as it stands now; empty when it is missing or cannot be read.
    Profile load() const;
    QString read(const QString &section, const QString &key) const;
    // False when the file could not be written or could not be read first; nothing is
    // changed then.
    bool write(const QString &section, const QString &key, const QString &value);
    // Why the last load or write failed, for the operator; empty after a success (a
    // missing file is not a failure).
    const QString &problem() const { return m_problem; }

private:
    // The file's bytes; false (and m_problem set) when it exists but cannot be read.
    bool readFile(QByteArray *content) const;
    void setProblem(const QString &problem) const;

    QString m_path;
    mutable QString m_problem;
};

// Where serial port number n (COMn) is on this machine: the value of "DEVICES"/"COMn"
// when the settings file names one, else COMn on Windows and /dev/ttyS<n-1> elsewhere.
// Empty for n < 1.
QString portDevice(const Profile &profile, int portNumber);
QString portDevice(const Settings &settings, int portNumber);

} // namespace dialkite
