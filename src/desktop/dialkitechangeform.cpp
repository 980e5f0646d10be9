#include "dialkitechangeform.h"

#include "console/variant.h"
#include "operations/change.h"

#include <QCoreApplication>

namespace dialkite {

namespace {

// One option a variant a box can be reprogrammed to: "Change1" for variant 1 and so on.
OptionDialogSpec design()
{
    OptionDialogSpec spec{"DialkiteChangeForm",
                          QCoreApplication::translate("window", "다이얼카이트 장비 변경"),
                          QCoreApplication::translate("window", "변경할 다이얼카이트 장비 설정"),
                          {},
                          0,
                          false,
                          {"Command1", QCoreApplication::translate("window", "확 인")},
                          {"Command2", QCoreApplication::translate("window", "취 소")},
                          false};
    for (const VariantInfo *variant : variantTable().reprogrammable())
        spec.options.append({"Change" + QByteArray::number(variant->code.number()),
                             variant->changeCaption, qint16(variant->code.number())});
    return spec;
}

} // namespace

DialkiteChangeForm::DialkiteChangeForm(Console &console, QWidget *parent)
    : OptionDialog(
          design(), [&console](Choice choice) { Dialkite_change(console, choice); }, parent)
{}

} // namespace dialkite
