// dialkite: the desktop console.

#include "form1.h"

#include "console/qserialportlink.h"
#include "console/settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStandardPaths>
#include <QSysInfo>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dialkite"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Dial Kite console for caller-ID boxes"));
    parser.addHelpOption();
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("Settings file to use instead of \"Dial Kite.ini\" beside the program."),
        QStringLiteral("FILE"));
    parser.addOption(settingsOption);
    parser.process(app);

    dialkite::Settings settings(parser.isSet(settingsOption) ? parser.value(settingsOption)
                                                             : dialkite::Settings::defaultPath());
    dialkite::QSerialPortLink link(
        [&settings](int port) { return dialkite::portDevice(settings, port); });
    dialkite::Form1 window(link, settings);
    // The call history and the flight recorder, in the per-user data folder by default.
    const dialkite::Profile profile = settings.load();
    window.startHistory(dialkite::historyFile(profile));
    // Publishing to the shop's broker when the settings file names one.
    const QString mqtt = QStringLiteral("MQTT");
    if (const QString url = profile.value(mqtt, QStringLiteral("URL")); !url.isEmpty()) {
        QString error;
        const QString box = profile.value(mqtt, QStringLiteral("BOX")).isEmpty()
                                ? QSysInfo::machineHostName()
                                : profile.value(mqtt, QStringLiteral("BOX"));
        const auto target = dialkite::mqttTarget(url, profile.value(mqtt, QStringLiteral("USER")),
                                                 profile.value(mqtt, QStringLiteral("PASSWORD")),
                                                 profile.value(mqtt, QStringLiteral("CA")), &error);
        if (const QString problem = dialkite::boxNameProblem(box); !problem.isEmpty())
            error = problem;
        if (target && error.isEmpty())
            window.startPublishing(box, *target, dialkite::defaultSpoolFile());
        else
            qWarning("settings [MQTT]: %s; nothing is published", qUtf8Printable(error));
    }
    window.startRecording(dialkite::recorderOptions(
        settings.load(), QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                             QStringLiteral("/captures")));
    QObject::connect(&window, &dialkite::Form1::endProgram, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
