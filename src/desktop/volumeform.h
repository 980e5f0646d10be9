#pragma once

#include "optiondialog.h"

namespace dialkite {

// "스피커 볼륨조절": the box's speaker level.
class VolumeForm : public OptionDialog {
    Q_OBJECT
public:
    explicit VolumeForm(Console &console, QWidget *parent = nullptr);
};

} // namespace dialkite
