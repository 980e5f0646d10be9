// dialkite: the desktop console.

#include "form1.h"
#include "icon.h"
#include "translations.h"

#include "console/cmdline.h"
#include "console/language.h"
#include "console/qserialportlink.h"
#include "console/settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Whether the command line only asks for the help or the version, or holds a mistake (an
// unknown option, a value missing): answered without a window system, so that they work
// on a machine without a display.
bool onlyAsks(int argc, char *argv[])
{
    static const QList<QByteArrayView> valued = {"--variant",          "--port",     "--screenshot",
                                                 "--screenshot-after", "--settings", "--lang"};
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" ||
            arg == "-v")
            return true;
        if (!arg.startsWith('-'))
            continue;
        const QByteArrayView name = arg.first(arg.indexOf('=') < 0 ? arg.size() : arg.indexOf('='));
        const bool takesValue = valued.contains(name);
        if (!takesValue && name != "--identify")
            return true; // not an option of this program
        if (takesValue && name.size() == arg.size() && ++i >= argc)
            return true; // its value missing
        const QByteArrayView value =
            name.size() == arg.size() ? QByteArrayView(argv[i]) : arg.sliced(name.size() + 1);
        if (name == "--lang" && value != "ko" && value != "en")
            return true; // a language the window does not speak
    }
    return false;
}

// The window's language (--lang): its translation loaded for English, Qt's own Korean
// texts otherwise; false (said as every usage error is) for a language it does not speak.
bool useWindowLanguage(QCoreApplication &app, const QCommandLineParser &parser,
                       const QCommandLineOption &langOption)
{
    const QString language = parser.value(langOption);
    if (parser.isSet(langOption) && language != u"ko" && language != u"en") {
        std::fprintf(stderr, "%s\n",
                     qUtf8Printable(dialkite::cmdline::usageLine(
                         QStringLiteral("dialkite"), {},
                         QCoreApplication::translate("dialkite", "--lang takes ko or en, not '%1'")
                             .arg(language.left(40)))));
        return false;
    }
    // The window in English: its texts and Qt's own stay as Qt writes them.
    if (language == u"en")
        dialkite::useLanguage(app, QStringLiteral("en"));
    else
        dialkite::loadKoreanQtTexts(app);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> application =
        onlyAsks(argc, argv) ? std::make_unique<QCoreApplication>(argc, argv)
                             : std::make_unique<QApplication>(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("dialkite"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIALKITE_VERSION));

    // What it says on the terminal follows the user's language; the window is Korean.
    dialkite::useSystemLanguage(app);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Dial Kite console for caller-ID boxes"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption variantOption(
        QStringLiteral("variant"),
        QStringLiteral("Select box variant N right after start-up, as the selection dialog would."),
        QStringLiteral("N"));
    parser.addOption(variantOption);
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Choose serial port N (COMn) right after start-up, as the port dialog\n"
                       "would; it is saved for the next start."),
        QStringLiteral("N"));
    parser.addOption(portOption);
    const QCommandLineOption identifyOption(
        QStringLiteral("identify"),
        QStringLiteral("Ask the box for its identification right after start-up, as the\n"
                       "장비확인 button would (a REZ or RORIVU box shows its calls only then)."));
    parser.addOption(identifyOption);
    // For scripts/screenshot: the window as a picture, then the end.
    QCommandLineOption screenshotOption(QStringLiteral("screenshot"), QString(),
                                        QStringLiteral("PNG"));
    screenshotOption.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption afterOption(QStringLiteral("screenshot-after"), QString(),
                                   QStringLiteral("MS"), QStringLiteral("8000"));
    afterOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({screenshotOption, afterOption});
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("Settings file to use instead of \"Dial Kite.ini\" beside the program."),
        QStringLiteral("FILE"));
    parser.addOption(settingsOption);
    const QCommandLineOption langOption(
        QStringLiteral("lang"),
        QStringLiteral("The window's language: ko (the default) or en, for visiting engineers.\n"
                       "Saved files (CSV, captures, history) stay Korean."),
        QStringLiteral("LANG"));
    parser.addOption(langOption);
    if (const auto status = dialkite::cmdline::checkArguments(
            parser,
            {variantOption, portOption, identifyOption, screenshotOption, afterOption,
             settingsOption, langOption},
            app.arguments(), QStringLiteral("dialkite")))
        return *status;
    parser.process(app); // --help and --version end here
    if (!useWindowLanguage(app, parser, langOption))
        return 2;
    // A number out of its range, said as every usage error is; the exit status.
    const auto outOfRange = [&parser](const QCommandLineOption &option, int highest) {
        std::fprintf(stderr, "%s\n",
                     qUtf8Printable(dialkite::cmdline::usageLine(
                         QStringLiteral("dialkite"), {},
                         QCoreApplication::translate("dialkite", "%1 takes %2 to %3, not '%4'")
                             .arg(QStringLiteral("--") + option.names().first())
                             .arg(1)
                             .arg(highest)
                             .arg(parser.value(option).left(40)))));
        return 2;
    };
    std::optional<qint16> variant;
    if (parser.isSet(variantOption)) {
        bool ok = false;
        const int number = parser.value(variantOption).toInt(&ok);
        if (!ok || number < 1 || !dialkite::variantTable().find(dialkite::VariantId(number))) {
            return outOfRange(variantOption, dialkite::variantTable().highest());
        }
        variant = qint16(number);
    }

    dialkite::Settings settings(parser.isSet(settingsOption) ? parser.value(settingsOption)
                                                             : dialkite::Settings::defaultPath());
    dialkite::QSerialPortLink link(
        [&settings](int port) { return dialkite::portDevice(settings, port); });
    dialkite::Form1 window(link, settings);
    // The call history and the flight recorder in the per-user data folder, publishing
    // when the settings file names a broker.
    window.startOutputs(dialkite::desktopPlan(settings.load()));
    if (parser.isSet(portOption)) {
        bool ok = false;
        const int port = parser.value(portOption).toInt(&ok);
        if (!ok || port < 1 || port > 255) {
            return outOfRange(portOption, 255);
        }
        window.choosePortAtStart(qint16(port));
    }
    if (variant)
        window.selectAtStart(*variant);
    if (parser.isSet(identifyOption))
        window.identifyAtStart();
    QObject::connect(&window, &dialkite::Form1::endProgram, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.setWindowIcon(dialkite::kiteIcon());
    QApplication::setWindowIcon(dialkite::kiteIcon());
    window.show();
    if (parser.isSet(screenshotOption)) {
        QTimer::singleShot(parser.value(afterOption).toInt(), &window, [&] {
            window.grab().save(parser.value(screenshotOption));
            QCoreApplication::exit(0);
        });
    }
    return QCoreApplication::exec();
}
