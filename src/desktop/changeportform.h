#pragma once

#include "optiondialog.h"

class QComboBox;
class QLabel;

namespace dialkite {

// "통신포트 설정": which serial port the box is on. Each option's tooltip names the
// device that port number means on this machine and whether it is there now; below the
// options, the adapters the system sees (USB vendor, product, serial number) and a way
// to give one of them the chosen port number, written to the settings file's DEVICES.
class ChangePortForm : public OptionDialog {
    Q_OBJECT
public:
    explicit ChangePortForm(Console &console, QWidget *parent = nullptr);

    // Reads the settings file and the system's devices again.
    void refreshDevices();
    // Maps the adapter at `systemLocation` to the chosen port number; false when no
    // number is chosen or the settings file refused the write.
    bool mapAdapter(const QString &systemLocation);

private:
    Console &m_console;
    QComboBox *m_adapters;
    QLabel *m_present;
};

} // namespace dialkite
