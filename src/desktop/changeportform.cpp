#include "changeportform.h"

#include "operations/port.h"

namespace dialkite {

namespace {

OptionDialogSpec design()
{
    static const char *const names[kPortChoices] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                                    "COM6", "COM7", "COM8", "COM9"};
    OptionDialogSpec spec{"ChangePortForm",
                          QStringLiteral("통신포트 설정"),
                          {},
                          {},
                          3,
                          false,
                          {"OKButton", QStringLiteral("설정")},
                          {"CancelButton", QStringLiteral("취소")},
                          true};
    for (int n = 1; n <= kPortChoices; ++n)
        spec.options.append({names[n - 1], QString::fromLatin1(names[n - 1]), qint16(n)});
    return spec;
}

} // namespace

ChangePortForm::ChangePortForm(Console &console, QWidget *parent)
    : OptionDialog(
          design(), [&console](Choice choice) { choosePort(console, choice); }, parent)
{
    const Profile settings = console.settings().load();
    for (int n = 1; n <= kPortChoices; ++n) {
        if (auto *option = findChild<QRadioButton *>(QStringLiteral("COM%1").arg(n)))
            option->setToolTip(portDevice(settings, n));
    }
    if (const Choice saved = savedPortChoice(settings))
        choose(*saved);
}

} // namespace dialkite
