#include "cmdline.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>

namespace dialkite::cmdline {

QString Arguments::value(const QString &option) const
{
    const auto at = m_values.find(option);
    return at == m_values.end() || at->second.isEmpty() ? QString() : at->second.back();
}

QStringList Arguments::values(const QString &option) const
{
    const auto at = m_values.find(option);
    return at == m_values.end() ? QStringList() : at->second;
}

namespace {

const Option *find(const Command &command, const QString &name)
{
    for (const Option &option : command.options) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

// An argument that is an option's name rather than a word ("-" alone is standard input).
bool looksLikeOption(const QString &argument)
{
    return argument.size() > 1 && argument.startsWith(u'-');
}

} // namespace

std::optional<Arguments> parse(const Command &command, const QStringList &arguments, QString *error)
{
    Arguments out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!looksLikeOption(argument)) {
            if (command.maxWords >= 0 && out.words.size() >= command.maxWords) {
                *error = QCoreApplication::translate("dialkite", "unexpected argument '%1'")
                             .arg(argument);
                return std::nullopt;
            }
            out.words << argument;
            continue;
        }
        const Option *option = find(command, argument);
        if (!option) {
            QStringList names;
            for (const Option &each : command.options)
                names << each.name;
            *error = unknownOption(argument, names);
            return std::nullopt;
        }
        if (out.has(option->name) && !option->repeatable) {
            *error = QCoreApplication::translate("dialkite", "%1 is given twice").arg(option->name);
            return std::nullopt;
        }
        const bool follows = i + 1 < arguments.size();
        if (option->value.isEmpty()) {
            out.add(option->name, {});
        } else if (option->optionalValue) {
            const bool given = follows && !arguments[i + 1].startsWith(u'-');
            out.add(option->name, given ? arguments[++i] : option->fallback);
        } else {
            // A value may start with one '-' (a number out of range says so itself).
            if (!follows || arguments[i + 1].startsWith(QLatin1String("--")) ||
                arguments[i + 1].isEmpty()) {
                *error =
                    QCoreApplication::translate("dialkite", "%1 needs a value").arg(option->name);
                return std::nullopt;
            }
            out.add(option->name, arguments[++i]);
        }
    }
    if (out.words.size() < command.minWords) {
        *error = command.missingWord;
        return std::nullopt;
    }
    return out;
}

QString help(const QString &program, const Command &command)
{
    QString text = QStringLiteral("Usage: %1 %2 %3\n").arg(program, command.name, command.synopsis);
    if (!command.about.isEmpty())
        text += u'\n' + command.about;
    if (command.options.isEmpty())
        return text;
    text += QStringLiteral("\nOptions:\n");
    // An option whose name and value are longer than this has its help on the next lines.
    constexpr int kWidest = 24;
    QList<QString> heads;
    int widest = 0;
    for (const Option &option : command.options) {
        QString head = option.name;
        if (!option.value.isEmpty())
            head += option.optionalValue ? QStringLiteral(" [%1]").arg(option.value)
                                         : u' ' + option.value;
        heads << head;
        if (head.size() <= kWidest)
            widest = std::max(widest, int(head.size()));
    }
    for (qsizetype i = 0; i < command.options.size(); ++i) {
        QStringList lines = command.options[i].help.trimmed().split(u'\n');
        if (heads[i].size() > widest)
            text += QStringLiteral("  %1\n").arg(heads[i]);
        else
            lines.front() = heads[i].leftJustified(widest) + QStringLiteral("  ") + lines.front();
        for (qsizetype k = 0; k < lines.size(); ++k)
            text += QStringLiteral("  %1%2\n")
                        .arg(k == 0 && heads[i].size() <= widest ? QString()
                                                                 : QString(widest + 2, u' '))
                        .arg(lines[k]);
    }
    return text;
}

int distance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::optional<QString> nearest(const QString &word, const QStringList &candidates, int within)
{
    for (const QString &candidate : candidates) {
        if (distance(word, candidate) <= within)
            return candidate;
    }
    return std::nullopt;
}

std::optional<int> number(const QString &text, const QString &name, int low, int high,
                          QString *error)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok && value >= low && value <= high)
        return value;
    *error = QCoreApplication::translate("dialkite", "%1 takes %2 to %3, not '%4'")
                 .arg(name)
                 .arg(low)
                 .arg(high)
                 .arg(text.left(40));
    return std::nullopt;
}

QString unknownOption(const QString &given, const QStringList &known)
{
    const QString unknown = QCoreApplication::translate("dialkite", "unknown option %1").arg(given);
    // A near one: a letter wrong, missing or too many ("--numbr" for "--number").
    if (const auto near = nearest(given, known, 2))
        return QCoreApplication::translate("dialkite", "%1; did you mean %2?").arg(unknown, *near);
    return unknown;
}

std::optional<int> checkArguments(QCommandLineParser &parser,
                                  const QList<QCommandLineOption> &options,
                                  const QStringList &arguments, const QString &program)
{
    if (parser.parse(arguments))
        return std::nullopt;
    const auto written = [](const QString &name) {
        return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    };
    QStringList known{QStringLiteral("--help"), QStringLiteral("--version")};
    for (const QCommandLineOption &option : options)
        for (const QString &name : option.names())
            known << written(name);
    QString problem;
    if (!parser.unknownOptionNames().isEmpty()) {
        problem = unknownOption(written(parser.unknownOptionNames().first()), known);
    } else {
        // Qt's "Missing value after '--variant'.": the option named as the others are.
        static const QRegularExpression missing(QStringLiteral("'(-+[^']*)'"));
        const auto found = missing.match(parser.errorText());
        problem =
            found.hasMatch()
                ? QCoreApplication::translate("dialkite", "%1 needs a value").arg(found.captured(1))
                : parser.errorText();
    }
    std::fprintf(stderr, "%s\n", qUtf8Printable(usageLine(program, {}, problem)));
    return 2;
}

QString usageLine(const QString &program, const QString &command, const QString &problem)
{
    const QString see = command.isEmpty() ? program + QStringLiteral(" --help")
                                          : QStringLiteral("%1 %2 --help").arg(program, command);
    return QStringLiteral("%1: %2%3 (%4)")
        .arg(program, command.isEmpty() ? QString() : command + QStringLiteral(": "), problem,
             QCoreApplication::translate("dialkite", "see '%1'").arg(see));
}

} // namespace dialkite::cmdline
