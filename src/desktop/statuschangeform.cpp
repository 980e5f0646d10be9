#include "statuschangeform.h"

#include "operations/detection.h"

#include <QCoreApplication>
#include <QPushButton>

namespace dialkite {

StatusChangeForm::StatusChangeForm(Console &console, QWidget *parent)
    : OptionDialog(
          {"StatusChangeForm",
           QCoreApplication::translate("window", "다이얼카이트 상태확인 및 설정"),
           {},
           {{"Change1", QCoreApplication::translate("window", "HOOK/RING 검출 안함"), 1},
            {"Change2", QCoreApplication::translate("window", "HOOK 검출 사용"), 2},
            {"Change3", QCoreApplication::translate("window", "HOOK/RING 검출 사용"), 3}},
           0,
           false,
           {"Command2", QCoreApplication::translate("window", "확 인")},
           {"Command3", QCoreApplication::translate("window", "취소")},
           false},
          [&console](Choice choice) { Status_Change(console, choice); }, parent)
{
    auto *read = new QPushButton(QCoreApplication::translate("window", "상태 읽어오기"), this);
    read->setObjectName(QStringLiteral("Command1"));
    insertOnTop(read);
    setTabOrder(read, okButton());
    read->setFocus();
    connect(read, &QPushButton::clicked, this, [this, &console] {
        readDetection(console);
        close();
    });
}

} // namespace dialkite
