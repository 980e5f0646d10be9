#pragma once

#include "optiondialog.h"

namespace dialkite {

// "다이얼카이트 장비 설정": which box variant is attached.
class DialkiteSelectForm : public OptionDialog {
    Q_OBJECT
public:
    explicit DialkiteSelectForm(Console &console, QWidget *parent = nullptr);
};

} // namespace dialkite
