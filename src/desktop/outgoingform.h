#pragma once

#include "optiondialog.h"

class QLineEdit;

namespace dialkite {

// "전화걸기": the line to dial from and the number.
class OutgoingForm1 : public OptionDialog {
    Q_OBJECT
public:
    explicit OutgoingForm1(Console &console, QWidget *parent = nullptr);
    QLineEdit *number() const { return m_Text1; }

protected:
    void okPressed(Choice choice) override;

private:
    Console &m_console;
    QLineEdit *m_Text1;
};

// "전화끊기": the line to hang up.
class OutgoingForm2 : public OptionDialog {
    Q_OBJECT
public:
    explicit OutgoingForm2(Console &console, QWidget *parent = nullptr);
};

} // namespace dialkite
