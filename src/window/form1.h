#pragma once
// The panel's one window. Handlers are public and named after control and event so that tests
// drive them directly; fields carry the names the whole program uses.
#include "exchange/exchange_queue.h"
#include "history/command_recall.h"
#include "history/history.h"
#include "link/line_settings.h"
#include "link/serial_comm.h"

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class EmblemLabel;
class HistoryLog;
class HistoryWindow;
class PortsDialog;
struct PortChoice;
struct CommandRow;
struct AdjusterRow;

class Form1 : public QWidget
{
    Q_OBJECT
  public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Message boxes go through here so that no test ever blocks on one.
    using MessageBoxHook = std::function<void(const QString& text, const QString& title)>;
    static void setMessageBoxHook(MessageBoxHook hook);
    // What "END" does after closing the port and the window; tests replace it.
    std::function<void()> endProgram;

    // Port settings, start-up and shut-down.
    // The devices behind COM1 and COM2, given before Form_Load.
    void setDevices(const QString& com1, const QString& com2) { MSComm1.setDevices(com1, com2); }
    void Form_Load();
    void Option1_Click() { selectPort(1); }
    void Option2_Click() { selectPort(2); }
    void Option3_Click() { selectSpeed(settingsForSpeed(19200)); }
    void Option4_Click() { selectSpeed(settingsForSpeed(9600)); }
    void Command33_Click();
    void Timer3_Timer();
    void Command16_Click();
    // SIGTERM or SIGINT: END at once, even while a message box is open.
    void endBySignal();
    bool endingBySignal() const { return endingBySignal_; }
    // A failure left the port closed (start-up, a port choice, a lost line).
    bool portFailed() const { return portFailed_; }
    // The serial layer reopened a lost line by itself.
    void MSComm1_Reconnected();

    // Command transaction and line monitor.
    void Hyouji(const QString& text, int mode);
    void MSComm1_OnComm();
    void Timer2_Timer();
    void Timer4_Timer();

    // Free command entry.
    void Command53_Click();
    void Command54_Click();

    // The window's side of the road that other senders take (see WindowExchangeLine): all they
    // may know of it. A handed-over command is sent as a typed one is, with its own reply window,
    // and only while no exchange is under way; handedOverEnded tells how it ended.
    bool exchangeUnderWay() const;
    // The device of the open port; empty when the port is closed.
    QString heldDevice() const;
    // The command without its CR.
    void sendHandedOver(const QString& command, int replyWindowMs);

    // Views.
    void Form_KeyDown(int keyCode, int shift);
    void Image1_DblClick();
    void Command34_Click();

    // Command buttons and hold-to-repeat adjusters, driven by the panel's tables.
    void Command_Click(const CommandRow& row);
    void Adjuster_MouseDown(const AdjusterRow& row);
    void Adjuster_MouseUp(const AdjusterRow& row);
    void Timer1_Timer();

    // Outer window height in twips, frame included.
    int windowHeightTwips() const { return heightTwips_; }
    void setWindowHeightTwips(int twips);
    QWidget* control(const QString& name) const { return controls_.value(name); }

    // The exchange history beside the designed window: fed by the transaction routine, shown by
    // the History window (Ctrl+H, or the TXD/RXD lines' context menu), written by the log.
    void toggleHistoryWindow();
    HistoryWindow* historyWindow() const;
    void attachLog(HistoryLog& log);

    // The Ports dialog (Ctrl+P, or the menu of "COM" and the port frame): what COM1 and COM2
    // stand for. A new device for the port in use reopens it, as a port choice does.
    void showPortsDialog();
    PortsDialog* portsDialog() const;
    void setPortDevices(const QString& com1, const QString& com2);
    // Said in the dialog: why the kept choice could not be used at start.
    void setPortChoiceNote(const QString& note) { portChoiceNote_ = note; }

    // Fields, with the names the whole program uses. Public for the tests, the benchmarks and
    // the fuzz target, which drive the designed steps; other senders never touch them and go
    // through the exchange interface above.
    QString PortSettings;
    QString LastCommand;
    QString RxBuffer;
    QString EntryText;
    quint8 AwaitingReply = 0;
    qint16 ReadingValue = 0;
    qint16 ExtendedView = 0;
    quint8 HoldCode = 0;
    quint8 ArrowContext = 0;

    SerialComm MSComm1;
    QTimer Timer1;
    QTimer Timer2;
    QTimer Timer3;
    QTimer Timer4;
    ExchangeHistory history;

    QPointer<QLabel> Label11;
    QPointer<QLabel> Label12;
    QPointer<QLabel> Label25;
    QPointer<QWidget> Frame8;
    QPointer<QRadioButton> Option1;
    QPointer<QRadioButton> Option2;
    QPointer<QRadioButton> Option3;
    QPointer<QRadioButton> Option4;
    QPointer<QPushButton> Command34;
    QPointer<QLineEdit> Text1;
    QPointer<EmblemLabel> Image1;

  Q_SIGNALS:
    // Replied: its reply up to its CR; otherwise what of it had come. Interrupted: an operator's
    // command went out before the reply was complete.
    void handedOverEnded(ExchangeOutcome outcome, const QString& reply);
    // COM1 and COM2 stand for other devices now.
    void portDevicesChanged(const QString& com1, const QString& com2);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    struct Intervals {
        int replyWindowMs;
        int clearDelayMs;
    };
    // The one send step of every sender: intervals first, so that this exchange gets them in
    // full, then LastCommand and the transaction.
    void sendCommand(const QString& command, std::optional<Intervals> intervals = std::nullopt);
    void endHandedOver(ExchangeOutcome outcome, const QString& reply);
    void checkHandedOverReply();

    void setUpTimers();
    void bindControls();
    void connectHandlers();
    void connectPanel();
    void selectPort(int port);
    void selectSpeed(const QString& settings);
    void showWarning(const QString& text);
    CommError openPort();
    void forgetReceived();
    bool clickFocusedButton(QWidget* target, const QKeyEvent* key);
    int chromeTwips() const;
    void centreWithDesignedHeight();
    bool handleAdjusterMouse(QObject* watched, QEvent* event);
    void releaseLostHold();
    void connectHistory();
    void connectPortsDialog();
    void keepPortChoice(const PortChoice& before, const PortChoice& after);
    void notePortOpened();
    bool recallCommand(int keyCode);
    void showCloseToggle();

    QHash<QString, QWidget*> controls_;
    int heightTwips_ = 0;
    int appliedChromeTwips_ = 0;
    QHash<const QObject*, const AdjusterRow*> adjusterOf_;
    const AdjusterRow* heldRow_ = nullptr; // the adjuster whose release is still due
    QPointer<HistoryWindow> historyWindow_;
    QPointer<PortsDialog> portsDialog_;
    QString portChoiceNote_;
    bool endingBySignal_ = false;
    bool portFailed_ = false;  // a failure left the port closed: the next port choice reopens it
    CommError startFailure_;   // start-up's failed opening, reported by the port choice after it
    qsizetype replyStart_ = 0; // where the reply to LastCommand begins in RxBuffer
    bool handedOver_ = false;  // LastCommand was handed over; its end is still due
    Intervals designedIntervals_{}; // what the operator's presses had set before it
    CommandRecall sentCommands;     // Up and Down in Text1
    bool replyHeld_ = false;   // RxBuffer holds a handed-over reply whose window ended at its CR
    int heldKey_ = 0;          // the key whose press clicked a button and is not released yet
    bool replyCutOff_ = false; // the reply window ended inside a reply: its rest is not decoded
};

// Enabling a running timer leaves its count alone; enabling a stopped one starts it.
inline void enableTimer(QTimer& timer)
{
    if (!timer.isActive()) timer.start();
}
