#include "outgoing.h"

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
    console.noteOperatorStep(QStringLiteral("hangup %1").arg(QString::fromLatin1(port)));
    console.hangUpOutgoingCall();
    console.MakeOpcode(port, "F", console.state().OutgoingNumber);
}

bool dialNumber(Console &console, int line, const QString &number)
{
    console.noteOperatorStep(QStringLiteral("dial %1 %2").arg(line).arg(number));
    if (number.isEmpty()) {
        console.view().showMessage({texts::kNoNumberText,
                                    texts::kNoNumberTitle,
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
