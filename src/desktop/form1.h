#pragma once

// The main window: seven command buttons and four panels along the top, the caller-ID
// log on the left, the send and receive logs on the right. It lays out widgets, shows
// message boxes and turns clicks into calls of the console's procedures.

#include "changeportform.h"
#include "dialkitechangeform.h"
#include "dialkiteselectform.h"
#include "outgoingform.h"
#include "statuschangeform.h"
#include "volumeform.h"

#include "console/console.h"
#include "console/consoleview.h"
#include "historywindow.h"
#include "notifier.h"
#include "outputs/factory.h"
#include "outputs/history.h"

#include <QDateTime>
#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <memory>
#include <optional>

namespace dialkite {

class GridView;

class Form1 : public QWidget, public ConsoleView {
    Q_OBJECT
public:
    Form1(SerialLink &link, Settings &settings, QWidget *parent = nullptr);
    ~Form1() override;

    Console &console() { return m_console; }
    QTimer &timer1() { return m_Timer1; }
    QTimer &timer2() { return m_Timer2; }
    QTimer &reconnectTimer() { return m_reconnect; }
    static constexpr int kReconnectMs = 2000;
    static constexpr int kPortBackShownMs = 5000; // "다시 연결되었습니다" stays this long

    Answer showMessage(const MessageBox &box) override;
    // A box that does not wait for the operator: the window goes on serving the box.
    void showNotice(const MessageBox &box) override;

    // Starts the outputs of `plan` (capture, history, publishing) on the console's
    // events; what they report is shown. Outputs started before are finished first.
    void startOutputs(OutputPlan plan);
    OutputSet *outputs() { return m_outputs.get(); }
    // Waits until every output has what it was given (tests, the end of the program).
    void finishOutputs(int ms = 5000);
    // Right after start-up, variant `number` is selected as if the operator had chosen
    // it in the selection dialog (dialkite --variant N).
    void selectAtStart(qint16 number);
    // At start-up port `number` is opened instead of the saved one, as if the operator
    // had chosen it in the port dialog (dialkite --port N): it is saved.
    void choosePortAtStart(qint16 number) { m_portAtStart = number; }
    // Right after start-up (and the variant chosen with selectAtStart), the box is asked
    // for its identification as the 장비확인 button would (dialkite --identify).
    void identifyAtStart();
    // The history window (Ctrl+H), opened or raised.
    void showHistory();
    HistoryWindow *historyWindow() { return m_historyWindow; }
    void setOutgoingCaption(const QString &caption) override;

Q_SIGNALS:
    // The operator confirmed quitting: every window closes and the program ends.
    void endProgram();

protected:
    void closeEvent(QCloseEvent *event) override;

    // The click handlers of the command buttons.
    void ChangePort_Click();
    void DialkiteSelect_Click();
    void ReadIdentification_Click();
    void Command1_Click();
    void Outgoing_Click();
    void DialkiteChange_Click();
    void StausChange_Click();

private:
    void Form_Load();
    // Shows the dialog in `slot`, creating it when it is not open.
    template <typename Dialog> void showDialog(QPointer<Dialog> &slot);
    QToolButton *addButton(const char *name, const QString &caption, int style, int left,
                           void (Form1::*handler)() = nullptr);
    GridView *addGrid(GridId id, int left, int top, int width, int height);
    // Copy and save for a log; the caller-ID log also opens the history.
    void addLogMenu(GridView *log, bool history);

    // What an output reports, as the operator sees it.
    void showNews(const QString &output, Severity severity, const QString &text);
    // The port panel says whether the port is open; a lost or refused port is tried
    // again every kReconnectMs unless [PORT] RECONNECT=0.
    void watchPort(const Event &event);
    void showPortState(bool open, const QString &why);

    Console m_console;
    std::unique_ptr<OutputFactory> m_factory;
    std::unique_ptr<OutputSet> m_outputs;
    QString m_historyFile;
    QPointer<HistoryWindow> m_historyWindow;
    DesktopNotifier m_notifier;
    GridView *m_callLog = nullptr;
    QHash<int, QDateTime> m_callTimes; // caller-ID log row -> when the PC wrote it
    QTimer m_Timer1;
    QTimer m_Timer2;
    QTimer m_reconnect;
    std::optional<qint16> m_portAtStart;
    GridView *m_portPanel = nullptr;
    QToolButton *m_Outgoing = nullptr;
    QPointer<ChangePortForm> m_portForm;
    QHash<QString, QPointer<QMessageBox>> m_tagged; // notices that a later one replaces
    QPointer<DialkiteSelectForm> m_selectForm;
    QPointer<VolumeForm> m_volumeForm;
    QPointer<OutgoingForm1> m_dialForm;
    QPointer<OutgoingForm2> m_hangUpForm;
    QPointer<DialkiteChangeForm> m_changeForm;
    QPointer<StatusChangeForm> m_statusForm;
};

} // namespace dialkite
