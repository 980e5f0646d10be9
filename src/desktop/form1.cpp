#include "form1.h"

#include "dialkiteselectform.h"
#include "gridview.h"
#include "icon.h"

#include "operations/identify.h"
#include "operations/select.h"

#include "console/texts.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QStyle>

namespace dialkite {

namespace {

// Client area as designed, in twips.
constexpr int kClientWidth = 13080;
constexpr int kClientHeight = 10575;
constexpr int kButtonSize = 900;

QMessageBox::Icon messageIcon(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::Question:
        return QMessageBox::Question;
    case MessageBox::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBox::Icon::Stop:
        break;
    }
    return QMessageBox::Critical;
}

} // namespace

Form1::Form1(SerialLink &link, Settings &settings, QWidget *parent)
    : QWidget(parent)
    , m_console(link, *this, settings)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(texts::shown(texts::kWindowTitle));
    setWindowIcon(kiteIcon());
    setFixedSize(pixels(kClientWidth), pixels(kClientHeight));

    addButton("ChangePort", texts::shown(texts::kChangePort), QStyle::SP_DriveNetIcon, 0,
              &Form1::ChangePort_Click);
    m_portPanel = addGrid(GridId::Port, 900, 0, 1300, 900);
    addButton("DialkiteSelect", texts::shown(texts::kDialkiteSelect), QStyle::SP_FileDialogListView,
              2200, &Form1::DialkiteSelect_Click);
    addGrid(GridId::Device, 3100, 0, 1300, 900);
    addButton("ReadIdentification", texts::shown(texts::kReadIdentification),
              QStyle::SP_MessageBoxInformation, 4400, &Form1::ReadIdentification_Click);
    addGrid(GridId::Identification, 5300, 0, 2600, 900);
    addButton("Command1", texts::shown(texts::kVolume), QStyle::SP_MediaVolume, 7900,
              &Form1::Command1_Click);
    m_Outgoing = addButton("Outgoing", m_console.outgoingCaption(), QStyle::SP_DialogYesButton,
                           8800, &Form1::Outgoing_Click);
    addButton("DialkiteChange", texts::shown(texts::kDialkiteChange), QStyle::SP_BrowserReload,
              9700, &Form1::DialkiteChange_Click);
    addButton("StausChange", texts::shown(texts::kDetection), QStyle::SP_FileDialogInfoView, 10600,
              &Form1::StausChange_Click);
    addGrid(GridId::Detection, 11500, 0, 1550, 900);
    m_callLog = addGrid(GridId::Calls, 0, 900, 7000, 9700);
    // The PC's time of each caller-ID row, for the log's CSV.
    m_callLog->setRowTime([this](int row) { return m_callTimes.value(row); });
    m_callLog->setToolTip(texts::shown(texts::kColourLegend)); // what blue and red mean
    connect(&m_console, &Console::observed, this, [this](const Event &event) {
        if (const auto *call = std::get_if<events::CallerId>(&event))
            m_callTimes.insert(call->row, call->at);
    });
    addLogMenu(m_callLog, true);
    addLogMenu(addGrid(GridId::Sent, 7000, 900, 6000, 3200), false);
    addLogMenu(addGrid(GridId::Received, 7000, 4100, 6000, 6500), false);
    // The call history from the keyboard.
    auto *historyKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+H")), this);
    connect(historyKey, &QShortcut::activated, this, &Form1::showHistory);
    // Focus shows on the command buttons as on every other control.
    setStyleSheet(QStringLiteral("QToolButton:focus { border: 2px solid palette(highlight);"
                                 " border-radius: 3px; }"));

    m_Timer1.setObjectName(QStringLiteral("Timer1"));
    m_Timer2.setObjectName(QStringLiteral("Timer2"));
    connect(&m_Timer1, &QTimer::timeout, this, [this] {
        m_Timer1.stop();
        // A first start (no settings file): the port error says no port was chosen yet,
        // then the port dialog opens to choose one.
        const bool first = !QFileInfo::exists(m_console.settings().path());
        if (m_portAtStart)
            m_console.ChangeComport(m_portAtStart);
        else
            m_console.Timer1_Timer();
        if (first && !m_console.link().isOpen())
            ChangePort_Click();
    });
    connect(&m_Timer2, &QTimer::timeout, this, [this] {
        m_Timer2.stop();
        m_console.Timer2_Timer();
    });
    m_reconnect.setObjectName(QStringLiteral("Reconnect"));
    m_reconnect.setInterval(kReconnectMs);
    connect(&m_reconnect, &QTimer::timeout, this, [this] {
        if (m_console.reopenPort())
            m_reconnect.stop();
    });
    connect(&m_console, &Console::observed, this, &Form1::watchPort);
    Form_Load();
}

Form1::~Form1() = default;

void Form1::watchPort(const Event &event)
{
    if (const auto *opened = std::get_if<events::PortOpened>(&event)) {
        m_reconnect.stop();
        showPortState(true, opened->device);
        // The box that said the port went away says it is back, and goes by itself.
        if (QPointer<QMessageBox> lost = m_tagged.value(Console::kPortNotice); lost) {
            lost->setIcon(QMessageBox::Information);
            lost->setWindowTitle(texts::shown(texts::kPortBackTitle));
            lost->setText(texts::shown(texts::kPortBackText)
                              .arg(opened->port >= 1
                                       ? texts::kPortPrefix + QString::number(opened->port) +
                                             QStringLiteral(", ") + opened->device
                                       : opened->device));
            lost->setDetailedText(QString());
            QTimer::singleShot(kPortBackShownMs, lost, &QWidget::close);
        }
        return;
    }
    QString why;
    if (const auto *lost = std::get_if<events::PortLost>(&event))
        why = lost->reason + QStringLiteral(" (") + lost->device + QLatin1Char(')');
    else if (const auto *failed = std::get_if<events::PortOpenFailed>(&event))
        why = (failed->reason.isEmpty() ? texts::shown(texts::kPortNoDevice) : failed->reason) +
              (failed->device.isEmpty() ? QString()
                                        : QStringLiteral(" (") + failed->device + QLatin1Char(')'));
    else if (std::holds_alternative<events::PortClosed>(event))
        why = texts::shown(texts::kPortClosedByOperator);
    else
        return;
    showPortState(false, why);
    // Tried again by itself, without more message boxes, unless the settings say not to.
    const bool again =
        m_console.settings().read(QStringLiteral("PORT"), QStringLiteral("RECONNECT")).trimmed() !=
        QLatin1String("0");
    if (again && !std::holds_alternative<events::PortClosed>(event) && !m_reconnect.isActive())
        m_reconnect.start();
}

void Form1::showPortState(bool open, const QString &why)
{
    // The panel keeps its text ("COM 3"); grey while no port is open, and says why.
    m_portPanel->setStyleSheet(open ? QString() : QStringLiteral("QTableView { color: gray; }"));
    m_portPanel->setToolTip(open ? why : texts::shown(texts::kPortClosed) + why);
}

void Form1::Form_Load()
{
    m_Timer1.setInterval(1000);
    m_Timer1.start();
    m_Timer2.setInterval(1000);
    m_Timer2.start();
    m_console.Form_Load();
}

template <typename Dialog> void Form1::showDialog(QPointer<Dialog> &slot)
{
    if (!slot)
        slot = new Dialog(m_console, this);
    slot->show();
    slot->raise();
    slot->activateWindow();
}

void Form1::ChangePort_Click()
{
    showDialog(m_portForm);
}

void Form1::DialkiteSelect_Click()
{
    showDialog(m_selectForm);
}

void Form1::ReadIdentification_Click()
{
    dialkite::ReadIdentification_Click(m_console);
}

void Form1::Command1_Click()
{
    showDialog(m_volumeForm);
}

// Dial while no call is up, hang up while one is.
void Form1::Outgoing_Click()
{
    if (m_console.state().OutgoingFlag == 0)
        showDialog(m_dialForm);
    else
        showDialog(m_hangUpForm);
}

void Form1::DialkiteChange_Click()
{
    showDialog(m_changeForm);
}

void Form1::StausChange_Click()
{
    showDialog(m_statusForm);
}

QToolButton *Form1::addButton(const char *name, const QString &caption, int style, int left,
                              void (Form1::*handler)())
{
    auto *button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setIcon(this->style()->standardIcon(QStyle::StandardPixmap(style)));
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setGeometry(pixels(left), 0, pixels(kButtonSize), pixels(kButtonSize));
    if (handler)
        connect(button, &QToolButton::clicked, this, handler);
    return button;
}

GridView *Form1::addGrid(GridId id, int left, int top, int width, int height)
{
    Grid &grid = m_console.grid(id);
    auto *view = new GridView(grid, grid.rows() > 2, this);
    view->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
    return view;
}

Answer Form1::showMessage(const MessageBox &box)
{
    QMessageBox message(messageIcon(box.icon), box.title, box.text,
                        box.buttons == MessageBox::Buttons::OkCancel
                            ? QMessageBox::Ok | QMessageBox::Cancel
                            : QMessageBox::Ok,
                        this);
    if (!box.detail.isEmpty())
        message.setDetailedText(box.detail);
    return message.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void Form1::showNotice(const MessageBox &box)
{
    // One box a tag: a new one replaces the one before.
    QPointer<QMessageBox> &kept = m_tagged[box.tag];
    if (!box.tag.isEmpty() && kept)
        kept->close();
    auto *message =
        new QMessageBox(messageIcon(box.icon), box.title, box.text, QMessageBox::Ok, this);
    if (!box.tag.isEmpty())
        kept = message;
    message->setObjectName(QStringLiteral("Notice"));
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->setModal(false);
    if (!box.detail.isEmpty())
        message->setDetailedText(box.detail);
    message->show();
}

void Form1::identifyAtStart()
{
    // After the second timer and the variant chosen at start, with the port open.
    connect(
        &m_Timer2, &QTimer::timeout, this,
        [this] {
            if (m_console.link().isOpen())
                dialkite::ReadIdentification_Click(m_console);
        },
        Qt::QueuedConnection);
}

void Form1::startOutputs(OutputPlan plan)
{
    if (m_outputs)
        m_outputs->finish(QDeadlineTimer(5000));
    m_outputs.reset();
    // The history window, while it is open, shows each call once it is stored.
    plan.hooks.callsStored = [this] {
        if (m_historyWindow)
            m_historyWindow->newCalls();
    };
    // Each call: its caller's name beside its number in the log, and on the desktop while
    // the window is not the one in use.
    const bool *desktop = plan.get<bool>(QStringLiteral("notify"));
    const bool notify = desktop && *desktop;
    plan.hooks.callArrived = [this, notify](const events::CallerId &call) {
        m_callLog->setRowNote(call.row, call.name);
        if (notify && !isActiveWindow())
            m_notifier.notify(call);
    };
    const auto *history = plan.get<HistoryPlan>(QStringLiteral("history"));
    m_historyFile = history ? history->path : QString();
    m_factory = std::make_unique<OutputFactory>(plan);
    m_outputs = m_factory->build();
    connect(&m_console, &Console::observed, m_outputs.get(), &OutputSet::consume);
    connect(m_outputs.get(), &OutputSet::news, this, &Form1::showNews);
    for (const QString &problem : plan.problems)
        qWarning("%s", qUtf8Printable(problem));
}

void Form1::finishOutputs(int ms)
{
    if (m_outputs)
        m_outputs->finish(QDeadlineTimer(ms));
}

void Form1::showNews(const QString &output, Severity severity, const QString &text)
{
    // As each kind of output says its news is shown: what has no box (the broker's news)
    // goes to standard error, the operator's window being for the box.
    const NewsShown shown = OutputRegistry::instance().news(output, severity, text);
    if (shown.title.isEmpty())
        qWarning("%s", qUtf8Printable(shown.line));
    else
        showNotice({shown.text, shown.title, text, MessageBox::Icon::Exclamation,
                    MessageBox::Buttons::Ok});
}

void Form1::addLogMenu(GridView *log, bool history)
{
    log->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(
        log, &QWidget::customContextMenuRequested, this, [this, log, history](const QPoint &at) {
            QMenu menu(this);
            menu.setObjectName(log->objectName() + QStringLiteral("Menu"));
            menu.addAction(texts::shown(texts::kCopy), log, &GridView::copy);
            menu.addAction(texts::shown(texts::kSaveLogCsv), this, [this, log] {
                const QString name = log == m_callLog                      ? texts::kCallLogFile
                                     : log->objectName() == u"MSFlexGrid2" ? texts::kSendLogFile
                                                                           : texts::kReceiveLogFile;
                const QString file = QFileDialog::getSaveFileName(
                    this, texts::shown(texts::kSaveLogCsv), suggestedCsvFile(name),
                    QStringLiteral("CSV (*.csv)"));
                QString problem;
                if (!file.isEmpty() && !log->exportCsv(file, &problem))
                    showNotice({problem,
                                texts::shown(texts::kSaveFailedTitle),
                                {},
                                MessageBox::Icon::Exclamation,
                                MessageBox::Buttons::Ok});
            });
            if (history)
                menu.addAction(texts::shown(texts::kHistoryMenu), this, &Form1::showHistory);
            menu.exec(log->viewport()->mapToGlobal(at));
        });
}

void Form1::selectAtStart(qint16 number)
{
    // After the second timer, whose start-up puts variant 1 in place.
    connect(
        &m_Timer2, &QTimer::timeout, this, [this, number] { Dialkite_Select(m_console, number); },
        Qt::QueuedConnection);
}

void Form1::showHistory()
{
    if (!m_historyWindow)
        m_historyWindow =
            new HistoryWindow(m_historyFile.isEmpty() ? defaultHistoryFile() : m_historyFile, this);
    m_historyWindow->refresh();
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void Form1::setOutgoingCaption(const QString &caption)
{
    if (m_Outgoing)
        m_Outgoing->setText(caption);
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (!m_console.Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT endProgram();
}

} // namespace dialkite
