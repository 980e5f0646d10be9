#pragma once

#include "optiondialog.h"

namespace dialkite {

// "다이얼카이트 상태확인 및 설정": read or set the box's hook/ring detection.
class StatusChangeForm : public OptionDialog {
    Q_OBJECT
public:
    explicit StatusChangeForm(Console &console, QWidget *parent = nullptr);
};

} // namespace dialkite
