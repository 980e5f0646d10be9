#include "dialkiteselectform.h"

#include "console/variantcode.h"
#include "operations/select.h"

namespace dialkite {

namespace {

OptionDialogSpec design()
{
    static const char *const names[kVariantCount] = {"Select1", "Select2", "Select3", "Select4",
                                                     "Select5", "Select6", "Select7", "Select8"};
    OptionDialogSpec spec{"DialkiteSelectForm",
                          QStringLiteral("다이얼카이트 장비 설정"),
                          QStringLiteral("시험할 다이얼카이트 장비 설정"),
                          {},
                          0,
                          false,
                          {"Command1", QStringLiteral("확 인")},
                          {"Command2", QStringLiteral("취 소")},
                          true};
    for (int number = 1; number <= kVariantCount; ++number)
        spec.options.append({names[number - 1], variantByNumber(number)->option, qint16(number)});
    return spec;
}

} // namespace

DialkiteSelectForm::DialkiteSelectForm(Console &console, QWidget *parent)
    : OptionDialog(
          design(), [&console](Choice choice) { Dialkite_Select(console, choice); }, parent)
{}

} // namespace dialkite
