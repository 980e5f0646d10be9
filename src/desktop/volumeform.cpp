#include "volumeform.h"

#include "operations/volume.h"

#include <QCoreApplication>

namespace dialkite {

VolumeForm::VolumeForm(Console &console, QWidget *parent)
    : OptionDialog(
          {"VolumeForm",
           QCoreApplication::translate("window", "스피커 볼륨조절"),
           QCoreApplication::translate("window", "장비 스피커 볼륨조절"),
           {{"Select1", QCoreApplication::translate("window", "끔"), 0},
            {"Select2", QCoreApplication::translate("window", "작게"), 1},
            {"Select3", QCoreApplication::translate("window", "중간"), 2},
            {"Select4", QCoreApplication::translate("window", "크게"), 3}},
           0,
           false,
           {"Command1", QCoreApplication::translate("window", "확 인")},
           {"Command2", QCoreApplication::translate("window", "취 소")},
           false},
          [&console](Choice choice) { Volume_Select(console, choice); }, parent)
{}

} // namespace dialkite
