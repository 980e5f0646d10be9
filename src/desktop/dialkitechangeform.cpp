#include "dialkitechangeform.h"

#include "operations/change.h"

namespace dialkite {

DialkiteChangeForm::DialkiteChangeForm(Console &console, QWidget *parent)
    : OptionDialog(
          {"DialkiteChangeForm",
           QStringLiteral("다이얼카이트 장비 변경"),
           QStringLiteral("변경할 다이얼카이트 장비 설정"),
           {{"Change1", QStringLiteral("A2/A4"), 1},
            {"Change2", QStringLiteral("B2/B4"), 2},
            {"Change3", QStringLiteral("C2/C4 (어깨동무용)"), 3},
            {"Change4", QStringLiteral("D2/D4 (소프트웨어메이크용)"), 4},
            {"Change5", QStringLiteral("E2/E4/부르미"), 5},
            {"Change6", QStringLiteral("F2/F4"), 6}},
           0,
           false,
           {"Command1", QStringLiteral("확 인")},
           {"Command2", QStringLiteral("취 소")},
           false},
          [&console](Choice choice) { Dialkite_change(console, choice); }, parent)
{}

} // namespace dialkite
