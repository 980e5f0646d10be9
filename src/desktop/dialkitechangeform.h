#pragma once

#include "optiondialog.h"

namespace dialkite {

// "다이얼카이트 장비 변경": reprogram the box to another variant.
class DialkiteChangeForm : public OptionDialog {
    Q_OBJECT
public:
    explicit DialkiteChangeForm(Console &console, QWidget *parent = nullptr);
};

} // namespace dialkite
