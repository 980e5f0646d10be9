#pragma once

// What the console asks of a screen beyond grid cells: message boxes and the caption
// of the dial button.

#include <QString>

namespace dialkite {

struct MessageBox {
    enum class Icon { Stop, Question, Exclamation };
    enum class Buttons { Ok, OkCancel };
    QString text;
    QString title;
    QString detail; // what the operator may unfold: which file or device, and why
    Icon icon = Icon::Stop;
    Buttons buttons = Buttons::Ok;
    // A notice with a tag replaces the one shown before with the same tag.
    QString tag = {};
};

enum class Answer { Ok, Cancel };

class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    // Shows the box and waits for the operator's answer.
    virtual Answer showMessage(const MessageBox &box) = 0;
    // Shows the box without waiting: news the operator should see while the console
    // goes on serving the box (a setting that could not be saved). A screen without
    // windows may leave it out.
    virtual void showNotice(const MessageBox &) {}
    virtual void setOutgoingCaption(const QString &caption) = 0;
};

} // namespace dialkite
