#include "outgoingform.h"

#include "operations/outgoing.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace dialkite {

namespace {

OptionDialogSpec design(const char *name, const QString &title, const QString &label)
{
    return {name,
            title,
            label,
            {{"CH1", QStringLiteral("CH1"), 1},
             {"CH2", QStringLiteral("CH2"), 2},
             {"CH3", QStringLiteral("CH3"), 3},
             {"CH4", QStringLiteral("CH4"), 4}},
            0,
            true,
            {"Command1", QCoreApplication::translate("window", "확인")},
            {"Command2", QCoreApplication::translate("window", "취소")},
            false};
}

} // namespace

OutgoingForm1::OutgoingForm1(Console &console, QWidget *parent)
    : OptionDialog(design("OutgoingForm1", QCoreApplication::translate("window", "전화걸기"),
                          QCoreApplication::translate("window", "발신할 Channel을 선택하세요")),
                   {}, parent)
    , m_console(console)
    , m_Text1(new QLineEdit(QStringLiteral("9,2345678"), this))
{
    auto *label = new QLabel(QCoreApplication::translate("window", "발신번호를 입력하세요."), this);
    label->setObjectName(QStringLiteral("Label2"));
    m_Text1->setObjectName(QStringLiteral("Text1"));
    m_Text1->setMaxLength(kMaxDialLength); // the room in the dial frame
    insertBeforeButtons(label);
    insertBeforeButtons(m_Text1);
    choose(1);
    cancelButton()->setFocus();
}

void OutgoingForm1::okPressed(Choice choice)
{
    if (dialNumber(m_console, choice.value_or(1), m_Text1->text()))
        close();
}

OutgoingForm2::OutgoingForm2(Console &console, QWidget *parent)
    : OptionDialog(
          design("OutgoingForm2", QCoreApplication::translate("window", "전화끊기"),
                 QCoreApplication::translate("window", "발신중지할 Channel을 선택하세요")),
          [&console](Choice choice) {
              OutgoingProc2(console, QByteArray::number(choice.value_or(1)));
          },
          parent)
{
    choose(1);
}

} // namespace dialkite
