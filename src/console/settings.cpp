#include "settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSaveFile>

namespace dialkite {

namespace {

constexpr qsizetype kMaxValueLength = 255;

struct Line {
    QByteArray raw;     // without the line end
    QByteArray section; // set on "[name]" lines
    QByteArray key;     // set on "key=value" lines
    QByteArray value;
};

struct Profile {
    QList<Line> lines;
    QByteArray lineEnd;
    bool bom = false;
};

QByteArray trimmedBlanks(const QByteArray &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t'))
        ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t'))
        --last;
    return text.mid(first, last - first);
}

Line parseLine(const QByteArray &raw)
{
    Line line{raw, {}, {}, {}};
    const QByteArray text = trimmedBlanks(raw);
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        line.section = trimmedBlanks(text.mid(1, close < 0 ? -1 : close - 1));
        if (line.section.isEmpty())
            line.section = "[]"; // never matches a real name
        return line;
    }
    if (text.startsWith(';'))
        return line;
    const qsizetype equals = text.indexOf('=');
    if (equals <= 0)
        return line;
    line.key = trimmedBlanks(text.left(equals));
    line.value = trimmedBlanks(text.mid(equals + 1));
    return line;
}

Profile load(const QString &path)
{
    Profile profile;
    QFile file(path);
    QByteArray content;
    if (file.open(QIODevice::ReadOnly))
        content = file.readAll();
    if (content.startsWith("\xEF\xBB\xBF")) {
        profile.bom = true;
        content.remove(0, 3);
    }
#ifdef Q_OS_WIN
    profile.lineEnd = "\r\n";
#else
    profile.lineEnd = content.contains("\r\n") ? "\r\n" : "\n";
#endif
    if (content.isEmpty())
        return profile;
    if (content.endsWith('\n'))
        content.chop(1);
    for (QByteArray raw : content.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        profile.lines.append(parseLine(raw));
    }
    return profile;
}

bool sameName(const QByteArray &a, const QString &b)
{
    return a.compare(b.toUtf8(), Qt::CaseInsensitive) == 0;
}

// Index range [first, end) of the lines of `section` below its header; first is -1
// when the section is missing.
std::pair<qsizetype, qsizetype> findSection(const Profile &profile, const QString &section)
{
    for (qsizetype i = 0; i < profile.lines.size(); ++i) {
        if (profile.lines[i].section.isEmpty() || !sameName(profile.lines[i].section, section))
            continue;
        qsizetype end = i + 1;
        while (end < profile.lines.size() && profile.lines[end].section.isEmpty())
            ++end;
        return {i + 1, end};
    }
    return {-1, -1};
}

qsizetype findKey(const Profile &profile, std::pair<qsizetype, qsizetype> range, const QString &key)
{
    for (qsizetype i = range.first; i >= 0 && i < range.second; ++i) {
        if (!profile.lines[i].key.isEmpty() && sameName(profile.lines[i].key, key))
            return i;
    }
    return -1;
}

QByteArray withoutQuotes(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

QByteArray oneLine(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

} // namespace

Settings::Settings(QString path)
    : m_path(std::move(path))
{}

QString Settings::defaultPath()
{
    const QString folder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return folder + QStringLiteral("/Dial Kite.ini");
}

QString Settings::read(const QString &section, const QString &key) const
{
    const Profile profile = load(m_path);
    const qsizetype line = findKey(profile, findSection(profile, section), key);
    if (line < 0)
        return {};
    return QString::fromUtf8(withoutQuotes(profile.lines[line].value).left(kMaxValueLength));
}

bool Settings::write(const QString &section, const QString &key, const QString &value)
{
    Profile profile = load(m_path);
    const QByteArray entry = oneLine(key) + '=' + oneLine(value);
    const auto range = findSection(profile, section);
    const qsizetype line = findKey(profile, range, key);
    if (line >= 0) {
        // Keep the key's spelling as the file has it.
        const QByteArray &raw = profile.lines[line].raw;
        profile.lines[line].raw = raw.left(raw.indexOf('=') + 1) + oneLine(value);
    } else if (range.first >= 0) {
        qsizetype insertAt = range.second;
        while (insertAt > range.first && trimmedBlanks(profile.lines[insertAt - 1].raw).isEmpty())
            --insertAt;
        profile.lines.insert(insertAt, Line{entry, {}, {}, {}});
    } else {
        if (!profile.lines.isEmpty() && !trimmedBlanks(profile.lines.back().raw).isEmpty())
            profile.lines.append(Line{});
        profile.lines.append(Line{'[' + oneLine(section) + ']', {}, {}, {}});
        profile.lines.append(Line{entry, {}, {}, {}});
    }

    QByteArray content = profile.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (const Line &l : profile.lines)
        content += l.raw + profile.lineEnd;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString portDevice(const Settings &settings, int portNumber)
{
    if (portNumber < 1)
        return {};
    const QString mapped =
        settings.read(QStringLiteral("DEVICES"), QStringLiteral("COM%1").arg(portNumber));
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

} // namespace dialkite
