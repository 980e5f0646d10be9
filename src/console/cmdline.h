#pragma once

// Command lines as data: a command declares its options (name, value, help line, the
// setting a value stands for) and its words; one parser reads any of them, one way, and
// one help text shows each command alone. A mistake is one line that names the option or
// word at fault.

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>

namespace dialkite::cmdline {

struct Option {
    QString name;  // "--line"
    QString value; // what its value is called in the help ("L"); "" for a switch
    QString help;  // what it does, for the help text (lines end with '\n')
    // A value that may be left out ("--ha-discovery [PREFIX]"), standing for `fallback`.
    bool optionalValue = false;
    QString fallback = {};
    bool repeatable = false;
    // The setting the value stands for ([SECTION] KEY), when it is one: the configuration
    // takes it over the settings file and the environment.
    QString section = {};
    QString key = {};
};

// What a command line said.
class Arguments {
public:
    bool has(const QString &option) const { return m_values.count(option) > 0; }
    // The option's value ("" when absent or a switch).
    QString value(const QString &option) const;
    QStringList values(const QString &option) const;
    // The words that are not options, in order.
    QStringList words;

    void add(const QString &option, const QString &value) { m_values[option] << value; }

private:
    std::map<QString, QStringList> m_values;
};

struct Command {
    QString name;     // "history"
    QString synopsis; // the usage after the program and command's names
    QString about;    // what it does, for its help
    QList<Option> options;
    // Its words (a script, suites): how many it takes, and what says that one is missing.
    int minWords = 0;
    int maxWords = 0; // -1: any number
    QString missingWord = {};
};

// "unknown option --numbr; did you mean --number?": the option given, and a near one of
// `known` when there is one.
QString unknownOption(const QString &given, const QStringList &known);
// A usage error as every program says it, on one line: "PROGRAM: [COMMAND: ]PROBLEM (see
// 'PROGRAM [COMMAND] --help')".
QString usageLine(const QString &program, const QString &command, const QString &problem);

// For a program that reads its options with QCommandLineParser (`options`, --help and
// --version besides): nothing when `arguments` are fine; else the mistake said as every
// program says it, with a near option suggested, and the exit status (2).
std::optional<int> checkArguments(QCommandLineParser &parser,
                                  const QList<QCommandLineOption> &options,
                                  const QStringList &arguments, const QString &program);

// Reads `arguments` by `command`'s options; nothing, and a one-line `error`, at the first
// mistake: an unknown option, a missing value, a word too many or too few.
std::optional<Arguments> parse(const Command &command, const QStringList &arguments,
                               QString *error);

// The help of one command: its usage, what it does and each option with its line.
QString help(const QString &program, const Command &command);

// Letters one must change, add or drop to make one word the other.
int distance(const QString &a, const QString &b);
// The candidate at most `within` letters from `word`, if there is one.
std::optional<QString> nearest(const QString &word, const QStringList &candidates, int within = 2);

// A whole number from `low` to `high` for option `name`; nothing and `error` otherwise
// ("--line takes 1 to 16, not '17'").
std::optional<int> number(const QString &text, const QString &name, int low, int high,
                          QString *error);

} // namespace dialkite::cmdline
