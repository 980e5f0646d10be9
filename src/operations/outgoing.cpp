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
    console.setOutgoingCaption(texts::kHangUp);
    console.state().OutgoingFlag = 1;
    console.MakeOpcode(port, "O", phone);
    console.state().OutgoingNumber = phone;
}

void OutgoingProc2(Console &console, const QByteArray &port)
{
    console.setOutgoingCaption(texts::kDial);
    console.state().OutgoingFlag = 0;
    console.MakeOpcode(port, "F", console.state().OutgoingNumber);
}

bool dialNumber(Console &console, int line, const QString &number)
{
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
