#pragma once

// Helpers for driving windows offscreen.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace dialkite::test {

struct SeenBox {
    bool seen = false;
    QString text;
    QString title;
    QString detail;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Arms a press of `button` on the next message box that opens, noting what it said.
inline void answerNextBox(QMessageBox::StandardButton button, SeenBox *seen, int tries = 200)
{
    QTimer::singleShot(10, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            if (tries > 0)
                answerNextBox(button, seen, tries - 1);
            return;
        }
        seen->seen = true;
        seen->text = box->text();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        seen->detail = box->detailedText();
        box->button(button)->click();
    });
}

} // namespace dialkite::test
