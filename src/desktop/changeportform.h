#pragma once

#include "optiondialog.h"

namespace dialkite {

// "통신포트 설정": which serial port the box is on. Each option's tooltip names the
// device that port number means on this machine.
class ChangePortForm : public OptionDialog {
    Q_OBJECT
public:
    explicit ChangePortForm(Console &console, QWidget *parent = nullptr);
};

} // namespace dialkite
