#include "volumeform.h"

#include "operations/volume.h"

namespace dialkite {

VolumeForm::VolumeForm(Console &console, QWidget *parent)
    : OptionDialog(
          {"VolumeForm",
           QStringLiteral("스피커 볼륨조절"),
           QStringLiteral("장비 스피커 볼륨조절"),
           {{"Select1", QStringLiteral("끔"), 0},
            {"Select2", QStringLiteral("작게"), 1},
            {"Select3", QStringLiteral("중간"), 2},
            {"Select4", QStringLiteral("크게"), 3}},
           0,
           false,
           {"Command1", QStringLiteral("확 인")},
           {"Command2", QStringLiteral("취 소")},
           false},
          [&console](Choice choice) { Volume_Select(console, choice); }, parent)
{}

} // namespace dialkite
