#include "outgoing.h"

#include "scenario/steps.h"

#include "console/texts.h"

namespace dialkite {

namespace {

QByteArray lineDigit(int line)
{
    return QByteArray::number(line);
}

} // namespace

void OutgoingProc1(Console &console, const QByteArray &phone, const QByteArray &port)
{
    console.startOutgoingCall(phone);
    console.MakeOpcode(port, "O", phone);
}

void OutgoingProc2(Console &console, const QByteArray &port)
{
    // The port character is the line digit the dialog's option carries.
    console.noteOperatorStep(scenario::stepText(scenario::StepKind::Hangup) + QLatin1Char(' ') +
                             QString::fromLatin1(port));
    console.hangUpOutgoingCall();
    console.MakeOpcode(port, "F", console.state().OutgoingNumber);
}

bool dialNumber(Console &console, int line, const QString &number)
{
    console.noteOperatorStep(scenario::dialText(line, number));
    if (number.isEmpty()) {
        console.view().showMessage({texts::shown(texts::kNoNumberText),
                                    texts::shown(texts::kNoNumberTitle),
                                    {},
                                    MessageBox::Icon::Exclamation,
                                    MessageBox::Buttons::Ok});
        return false;
    }
    // One character is one byte on the wire; the box dials digits, "," and the like.
    OutgoingProc1(console, number.left(kMaxDialLength).toLatin1(), lineDigit(line));
    return true;
}

} // namespace dialkite
