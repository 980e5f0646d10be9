#pragma once

// The small modeless dialogs of the main window share one shape: a caption, a label,
// a set of mutually exclusive options, and an OK and a Cancel button. OK hands the
// chosen option's value (or nothing, when none is chosen) to a procedure of the main
// window and closes the dialog; Cancel only closes it.

#include "console/console.h"

#include <QDialog>
#include <QList>
#include <QRadioButton>
#include <functional>

class QButtonGroup;
class QPushButton;
class QLabel;

namespace dialkite {

struct OptionSpec {
    QByteArray name; // object name, for example "Select1"
    QString caption;
    qint16 value;
};

struct ButtonSpec {
    const char *name;
    QString caption;
};

struct OptionDialogSpec {
    const char *name; // object name of the dialog
    QString title;
    QString label; // shown above the options as "Label1"; none when empty
    QList<OptionSpec> options;
    int rowsPerColumn = 0; // options per column; 0: all in one column
    bool inOneRow = false;
    ButtonSpec ok;
    ButtonSpec cancel;
    bool focusOk = false; // else Cancel holds the focus
};

class OptionDialog : public QDialog {
    Q_OBJECT
public:
    OptionDialog(const OptionDialogSpec &spec, std::function<void(Choice)> onOk,
                 QWidget *parent = nullptr);

    Choice choice() const;
    void choose(qint16 value);
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

protected:
    // Puts `widget` between the options and the buttons (the dial dialog's number).
    void insertBeforeButtons(QWidget *widget);
    // Puts `widget` above everything else (the hook/ring dialog's read button).
    void insertOnTop(QWidget *widget);
    // OK: hands the choice on and closes.
    virtual void okPressed(Choice choice);

private:
    std::function<void(Choice)> m_onOk;
    QButtonGroup *m_group;
    QList<QRadioButton *> m_options;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace dialkite
