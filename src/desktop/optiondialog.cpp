#include "optiondialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace dialkite {

OptionDialog::OptionDialog(const OptionDialogSpec &spec, std::function<void(Choice)> onOk,
                           QWidget *parent)
    : QDialog(parent)
    , m_onOk(std::move(onOk))
    , m_group(new QButtonGroup(this))
{
    setObjectName(QString::fromLatin1(spec.name));
    setWindowTitle(spec.title);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    if (!spec.label.isEmpty()) {
        auto *label = new QLabel(spec.label, this);
        label->setObjectName(QStringLiteral("Label1"));
        layout->addWidget(label);
    }
    auto *options = new QGridLayout;
    options->setVerticalSpacing(6);
    options->setHorizontalSpacing(18);
    const int rows = spec.inOneRow            ? 1
                     : spec.rowsPerColumn > 0 ? spec.rowsPerColumn
                                              : int(spec.options.size());
    for (int i = 0; i < spec.options.size(); ++i) {
        const OptionSpec &option = spec.options[i];
        auto *button = new QRadioButton(option.caption, this);
        button->setObjectName(QString::fromLatin1(option.name));
        m_group->addButton(button, option.value);
        m_options.append(button);
        if (spec.inOneRow)
            options->addWidget(button, 0, i);
        else
            options->addWidget(button, i % rows, i / rows);
    }
    layout->addLayout(options);

    auto *buttons = new QHBoxLayout;
    m_ok = new QPushButton(spec.ok.caption, this);
    m_ok->setObjectName(QString::fromLatin1(spec.ok.name));
    m_cancel = new QPushButton(spec.cancel.caption, this);
    m_cancel->setObjectName(QString::fromLatin1(spec.cancel.name));
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    QPushButton *focused = spec.focusOk ? m_ok : m_cancel;
    focused->setDefault(true);
    focused->setFocus();
    setTabOrder(focused, focused == m_ok ? m_cancel : m_ok);

    connect(m_ok, &QPushButton::clicked, this, [this] { okPressed(choice()); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);
}

Choice OptionDialog::choice() const
{
    return m_group->checkedButton() ? Choice(qint16(m_group->checkedId())) : Choice();
}

void OptionDialog::choose(qint16 value)
{
    if (QAbstractButton *button = m_group->button(value))
        button->setChecked(true);
}

void OptionDialog::okPressed(Choice choice)
{
    m_onOk(choice);
    close();
}

void OptionDialog::insertBeforeButtons(QWidget *widget)
{
    auto *box = static_cast<QVBoxLayout *>(layout());
    box->insertWidget(box->count() - 1, widget);
}

void OptionDialog::insertOnTop(QWidget *widget)
{
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, widget);
}

} // namespace dialkite
