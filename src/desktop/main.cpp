// dialkite: the desktop console.

#include "form1.h"
#include "icon.h"
#include "translations.h"

#include "console/qserialportlink.h"
#include "console/settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Whether the command line only asks for the help or the version: answered without a
// window system, so that they work on a machine without a display.
bool onlyAsks(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" ||
            arg == "-v")
            return true;
    }
    return false;
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
    parser.process(app); // --help and --version end here
    dialkite::loadKoreanQtTexts(app);
    std::optional<qint16> variant;
    if (parser.isSet(variantOption)) {
        bool ok = false;
        const int number = parser.value(variantOption).toInt(&ok);
        if (!ok || number < 1 || !dialkite::variantTable().find(dialkite::VariantId(number))) {
            std::fprintf(stderr, "dialkite: --variant takes 1 to %d\n",
                         dialkite::variantTable().highest());
            return 2;
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
            std::fprintf(stderr, "dialkite: --port takes 1 to 255\n");
            return 2;
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
