#include "settings.h"

#include "platform/fileowner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace dialkite {

namespace {

constexpr qsizetype kMaxValueLength = 255; // characters, not bytes
const QByteArray kBom = "\xEF\xBB\xBF";

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

Profile::Line parseLine(const QByteArray &raw, const QByteArray &end)
{
    Profile::Line line{raw, end, {}, {}, {}};
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

bool sameName(const QByteArray &a, const QString &b)
{
    return a.compare(b.toUtf8(), Qt::CaseInsensitive) == 0;
}

QByteArray withoutQuotes(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The first kMaxValueLength characters; a character outside the Basic Multilingual
// Plane (two UTF-16 units) counts as one and is never cut in half.
QString limitedValue(const QByteArray &bytes)
{
    // A leading U+FEFF belongs to the value: only the file's first bytes are a BOM.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = utf8(bytes);
    qsizetype units = 0;
    for (qsizetype characters = 0; units < text.size() && characters < kMaxValueLength;
         ++characters)
        units += text[units].isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
    return text.left(units);
}

QByteArray oneLine(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

} // namespace

// ---- Profile ----

Profile Profile::parse(const QByteArray &data)
{
    Profile profile;
    QByteArrayView content(data);
    if (content.startsWith(kBom)) {
        profile.m_bom = true;
        content = content.sliced(kBom.size());
    }
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype stop = start;
        while (stop < content.size() && content[stop] != '\n' && content[stop] != '\r')
            ++stop;
        qsizetype next = stop;
        if (next < content.size())
            next += content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n'
                        ? 2
                        : 1;
        profile.m_lines.append(parseLine(content.sliced(start, stop - start).toByteArray(),
                                         content.sliced(stop, next - stop).toByteArray()));
        start = next;
    }
    return profile;
}

// Index range [first, end) of the lines of `section` below its header; first is -1
// when the section is missing.
std::pair<qsizetype, qsizetype> Profile::sectionRange(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].section.isEmpty() || !sameName(m_lines[i].section, section))
            continue;
        qsizetype end = i + 1;
        while (end < m_lines.size() && m_lines[end].section.isEmpty())
            ++end;
        return {i + 1, end};
    }
    return {-1, -1};
}

qsizetype Profile::keyLine(std::pair<qsizetype, qsizetype> range, const QString &key) const
{
    for (qsizetype i = range.first; i >= 0 && i < range.second; ++i) {
        if (!m_lines[i].key.isEmpty() && sameName(m_lines[i].key, key))
            return i;
    }
    return -1;
}

QString Profile::value(const QString &section, const QString &key) const
{
    const qsizetype line = keyLine(sectionRange(section), key);
    return line < 0 ? QString() : limitedValue(withoutQuotes(m_lines[line].value));
}

// New lines end as the file's first line does; a new file's as the platform's do.
QByteArray Profile::newLineEnd() const
{
    for (const Line &line : m_lines) {
        if (!line.end.isEmpty())
            return line.end;
    }
#ifdef Q_OS_WIN
    return "\r\n";
#else
    return "\n";
#endif
}

QByteArray Profile::withValue(const QString &section, const QString &key,
                              const QString &value) const
{
    QList<Line> lines = m_lines;
    const QByteArray end = newLineEnd();
    const auto insert = [&](qsizetype at, const QByteArray &raw) {
        // The line before gets an end if it had none (the file's last line).
        if (at > 0 && lines[at - 1].end.isEmpty())
            lines[at - 1].end = end;
        // A lone CR before an empty LF line would read back as one CRLF.
        const bool merges = end == "\r" && at < lines.size() && lines[at].raw.isEmpty() &&
                            lines[at].end.startsWith('\n');
        lines.insert(at, Line{raw, merges ? QByteArray("\r\n") : end, {}, {}, {}});
    };
    const QByteArray entry = oneLine(key) + '=' + oneLine(value);
    const auto range = sectionRange(section);
    const qsizetype line = keyLine(range, key);
    if (line >= 0) {
        // Keep the key's spelling and the line's end as the file has them.
        const QByteArray &raw = lines[line].raw;
        lines[line].raw = raw.left(raw.indexOf('=') + 1) + oneLine(value);
    } else if (range.first >= 0) {
        qsizetype at = range.second;
        while (at > range.first && trimmedBlanks(lines[at - 1].raw).isEmpty())
            --at;
        insert(at, entry);
    } else {
        if (!lines.isEmpty() && !trimmedBlanks(lines.back().raw).isEmpty())
            insert(lines.size(), {});
        insert(lines.size(), '[' + oneLine(section) + ']');
        insert(lines.size(), entry);
    }
    Profile changed;
    changed.m_lines = lines;
    changed.m_bom = m_bom;
    return changed.content();
}

QStringList Profile::sections() const
{
    QStringList names;
    for (const Line &line : m_lines) {
        const QString name = QString::fromUtf8(line.section);
        if (!line.section.isEmpty() && line.section != "[]" &&
            !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

QList<std::pair<QString, int>> Profile::headings() const
{
    QList<std::pair<QString, int>> out;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArray &section = m_lines[i].section;
        if (!section.isEmpty())
            out.append({QString::fromUtf8(section), int(i) + 1});
    }
    return out;
}

QByteArray Profile::content() const
{
    QByteArray out = m_bom ? kBom : QByteArray();
    for (const Line &line : m_lines)
        out += line.raw + line.end;
    return out;
}

// ---- Settings ----

Settings::Settings(QString path)
    : m_path(std::move(path))
{}

QString Settings::defaultPath()
{
    const QString folder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return choosePath(folder,
                      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                          QStringLiteral("/dialkite"));
}

QString Settings::choosePath(const QString &programFolder, const QString &userFolder)
{
    const QString name = QStringLiteral("Dial Kite.ini");
    const QString beside = QDir(programFolder).filePath(name);
    // An installed program's folder belongs to the system, whoever may write to it.
    const bool installed = programFolder.startsWith(QLatin1String("/usr/")) ||
                           programFolder.startsWith(QLatin1String("/opt/"));
    if (!installed && QFileInfo(programFolder).isWritable())
        return beside;
    const QString own = QDir(userFolder).filePath(name);
    if (!QFileInfo::exists(own) && QFileInfo::exists(beside) && QDir().mkpath(userFolder))
        QFile::copy(beside, own);
    return own;
}

void Settings::setProblem(const QString &problem) const
{
    // Said once on standard error, not at every read of a file that stays broken.
    if (!problem.isEmpty() && problem != m_problem)
        qWarning("%s", qUtf8Printable(problem));
    m_problem = problem;
}

bool Settings::readFile(QByteArray *content) const
{
    content->clear();
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink()) {
        setProblem({});
        return true; // a missing file reads as empty and may be created
    }
    if (info.isDir()) {
        setProblem(QStringLiteral("settings file %1 is a folder").arg(m_path));
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        setProblem(
            QStringLiteral("cannot read settings file %1: %2").arg(m_path, file.errorString()));
        return false;
    }
    // Read one byte more than allowed: a device or a growing file has no honest size.
    *content = file.read(kMaxFileSize + 1);
    if (content->size() > kMaxFileSize) {
        content->clear();
        setProblem(QStringLiteral("settings file %1 is larger than %2 KiB and is not read")
                       .arg(m_path)
                       .arg(kMaxFileSize / 1024));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        content->clear();
        setProblem(
            QStringLiteral("cannot read settings file %1: %2").arg(m_path, file.errorString()));
        return false;
    }
    setProblem({});
    return true;
}

Profile Settings::load() const
{
    QByteArray content;
    readFile(&content);
    return Profile::parse(content);
}

QString Settings::read(const QString &section, const QString &key) const
{
    return load().value(section, key);
}

bool Settings::write(const QString &section, const QString &key, const QString &value)
{
    QByteArray before;
    if (!readFile(&before))
        return false; // never replace what could not be read
    const QFileInfo original(m_path);
    const bool exists = original.exists();
    // The mode's own bits; the "User" bits say what this process may do, which for a
    // privileged user is anything.
    constexpr QFile::Permissions kModeWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (exists && !(original.permissions() & kModeWrite)) {
        // Read-only by its mode; privileged users would otherwise replace it.
        setProblem(QStringLiteral("settings file %1 is read-only and is not written").arg(m_path));
        return false;
    }
    const QByteArray content = Profile::parse(before).withValue(section, key, value);
    // The folder too, with the user's own rights (~/.config/dialkite on a first start).
    const QString folder = original.absolutePath();
    if (!QDir().mkpath(folder)) {
        setProblem(QStringLiteral("cannot make the folder %1 for the settings file").arg(folder));
        return false;
    }
    QSaveFile file(m_path);
    const auto fail = [&] {
        setProblem(
            QStringLiteral("cannot write settings file %1: %2").arg(m_path, file.errorString()));
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    if (exists && !platform::keepOwner(file, original.ownerId(), original.groupId())) {
        setProblem(QStringLiteral("cannot keep the owner of settings file %1; it is not written")
                       .arg(m_path));
        file.cancelWriting();
        return false;
    }
    if (file.write(content) != content.size() || !file.commit())
        return fail();
    setProblem({});
    return true;
}

QString portDevice(const Profile &profile, int portNumber)
{
    if (portNumber < 1)
        return {};
    const QString mapped =
        profile.value(QStringLiteral("DEVICES"), QStringLiteral("COM%1").arg(portNumber));
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QString portDevice(const Settings &settings, int portNumber)
{
    return portNumber < 1 ? QString() : portDevice(settings.load(), portNumber);
}

} // namespace dialkite
