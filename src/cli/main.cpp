// dialkite-cli: the console without a window. Its commands are a table (commands.cpp):
// read the command line, build the configuration, run the command.

#include "commands.h"

#include "console/language.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    dialkite::useSystemLanguage(app);
    qSetMessagePattern(QStringLiteral("dialkite-cli: %{message}"));
    return dialkite::cli::dispatch(app.arguments().mid(1));
}
