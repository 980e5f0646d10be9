#include "changeportform.h"

#include <QCoreApplication>

#include "operations/port.h"

#include "console/texts.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace dialkite {

namespace {

OptionDialogSpec design()
{
    static const char *const names[kPortChoices] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                                    "COM6", "COM7", "COM8", "COM9"};
    OptionDialogSpec spec{"ChangePortForm",
                          QCoreApplication::translate("window", "통신포트 설정"),
                          {},
                          {},
                          3,
                          false,
                          {"OKButton", QCoreApplication::translate("window", "설정")},
                          {"CancelButton", QCoreApplication::translate("window", "취소")},
                          true};
    for (int n = 1; n <= kPortChoices; ++n)
        spec.options.append({names[n - 1], QString::fromLatin1(names[n - 1]), qint16(n)});
    return spec;
}

} // namespace

ChangePortForm::ChangePortForm(Console &console, QWidget *parent)
    : OptionDialog(
          design(), [&console](Choice choice) { choosePort(console, choice); }, parent)
    , m_console(console)
{
    // Below the nine options, which keep their places.
    auto *devices = new QWidget(this);
    auto *rows = new QVBoxLayout(devices);
    rows->setContentsMargins(0, 0, 0, 0);
    m_present = new QLabel(devices);
    m_present->setObjectName(QStringLiteral("PresentPorts"));
    m_present->setWordWrap(true);
    auto *line = new QHBoxLayout;
    m_adapters = new QComboBox(devices);
    m_adapters->setObjectName(QStringLiteral("Adapters"));
    m_adapters->setToolTip(texts::shown(texts::kDetectedAdapters));
    auto *map = new QPushButton(texts::shown(texts::kMapAdapter), devices);
    map->setObjectName(QStringLiteral("MapAdapter"));
    line->addWidget(m_adapters, 1);
    line->addWidget(map);
    rows->addWidget(m_present);
    rows->addLayout(line);
    insertBeforeButtons(devices);
    connect(map, &QPushButton::clicked, this, [this] {
        if (m_adapters->currentData().isValid())
            mapAdapter(m_adapters->currentData().toString());
    });
    refreshDevices();
    if (const Choice saved = savedPortChoice(console.settings().load()))
        choose(*saved);
}

void ChangePortForm::refreshDevices()
{
    const Profile settings = m_console.settings().load();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    const auto describe = [](const QSerialPortInfo &port) {
        QStringList parts{port.systemLocation()};
        if (!port.manufacturer().isEmpty() || !port.description().isEmpty())
            parts << (port.manufacturer() + QLatin1Char(' ') + port.description()).trimmed();
        if (port.hasVendorIdentifier())
            parts << QStringLiteral("USB %1:%2")
                         .arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                         .arg(port.productIdentifier(), 4, 16, QLatin1Char('0'));
        if (!port.serialNumber().isEmpty())
            parts << QStringLiteral("S/N ") + port.serialNumber();
        return parts.join(QStringLiteral(" — "));
    };
    QStringList present;
    for (int n = 1; n <= kPortChoices; ++n) {
        const QString device = portDevice(settings, n);
        QString detail;
        for (const QSerialPortInfo &port : ports) {
            if (port.systemLocation() == device || port.portName() == device)
                detail = describe(port);
        }
        const bool there =
            !detail.isEmpty() || (device.startsWith(QLatin1Char('/')) && QFileInfo::exists(device));
        if (auto *option = findChild<QRadioButton *>(QStringLiteral("COM%1").arg(n)))
            option->setToolTip(
                device + QStringLiteral(" — ") +
                (there ? texts::shown(texts::kPortPresent) : texts::shown(texts::kPortAbsent)) +
                (detail.isEmpty() ? QString() : QLatin1Char('\n') + detail));
        if (there)
            present << QStringLiteral("COM%1").arg(n);
    }
    m_present->setText(
        texts::shown(texts::kPortPresent) + QStringLiteral(": ") +
        (present.isEmpty() ? QStringLiteral("-") : present.join(QStringLiteral(", "))));
    m_adapters->clear();
    for (const QSerialPortInfo &port : ports)
        m_adapters->addItem(describe(port), port.systemLocation());
    if (ports.isEmpty())
        m_adapters->addItem(texts::shown(texts::kNoAdapters));
}

bool ChangePortForm::mapAdapter(const QString &systemLocation)
{
    const Choice port = choice();
    if (!port)
        return false;
    // Through the settings file's own writer: a file it cannot read is never replaced.
    const bool written = m_console.saveSetting(QStringLiteral("DEVICES"),
                                               QStringLiteral("COM%1").arg(*port), systemLocation);
    refreshDevices();
    return written;
}

} // namespace dialkite
