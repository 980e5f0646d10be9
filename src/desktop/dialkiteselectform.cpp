#include "dialkiteselectform.h"

#include "console/variant.h"
#include "operations/select.h"

#include <QCoreApplication>

namespace dialkite {

namespace {

OptionDialogSpec design()
{
    OptionDialogSpec spec{"DialkiteSelectForm",
                          QCoreApplication::translate("window", "다이얼카이트 장비 설정"),
                          QCoreApplication::translate("window", "시험할 다이얼카이트 장비 설정"),
                          {},
                          0,
                          false,
                          {"Command1", QCoreApplication::translate("window", "확 인")},
                          {"Command2", QCoreApplication::translate("window", "취 소")},
                          true};
    // One option a variant: "Select1" for variant 1 and so on.
    for (const VariantInfo &variant : variantTable().all()) {
        if (variant.code.number() >= 1)
            spec.options.append({"Select" + QByteArray::number(variant.code.number()),
                                 variant.selectCaption, qint16(variant.code.number())});
    }
    return spec;
}

} // namespace

DialkiteSelectForm::DialkiteSelectForm(Console &console, QWidget *parent)
    : OptionDialog(
          design(), [&console](Choice choice) { Dialkite_Select(console, choice); }, parent)
{}

} // namespace dialkite
