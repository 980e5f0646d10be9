#pragma once

// The settings file: a Windows-style profile ("[SECTION]" lines and "key=value" lines),
// read and written one key at a time. Reads follow the platform's profile calls: blanks
// around names and values are dropped, section and key names match regardless of case,
// a value is at most 255 characters, a missing file, section or key reads as "". A write
// changes only the line of its key (or adds it), keeps every other byte of the file, and
// replaces the file atomically, so a failed write leaves the old file as it was.

#include <QString>

namespace dialkite {

class Settings {
public:
    explicit Settings(QString path);

    // The program's folder followed by "Dial Kite.ini".
    static QString defaultPath();

    const QString &path() const { return m_path; }
    QString read(const QString &section, const QString &key) const;
    // False when the file could not be written; nothing is changed then.
    bool write(const QString &section, const QString &key, const QString &value);

private:
    QString m_path;
};

// Where serial port number n (COMn) is on this machine: the value of "DEVICES"/"COMn"
// when the settings file names one, else COMn on Windows and /dev/ttyS<n-1> elsewhere.
// Empty for n < 1.
QString portDevice(const Settings &settings, int portNumber);

} // namespace dialkite
