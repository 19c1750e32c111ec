// The window's receive path under a stream of steps, checked against a small model of what
// RxBuffer and the monitor must hold after each one.
#include "fuzz_entries.h"

#include "decode_model.h"
#include "status/display_form.h"
#include "window/form1.h"

#include <QApplication>
#include <QLabel>

namespace
{

constexpr uint8_t kStepMarker = 0xFE;
// Step kinds, by the control byte modulo kStepKinds.
enum Step : uint8_t { Deliver, DeliverToo, Timer2Tick, Timer4Tick, Send, Flood, kStepKinds };
// A flood hands in its piece repeated to at least this many bytes: past the buffer's bound.
constexpr qsizetype kFloodBytes = kMaxRenderedChars + 1000;

// What the handlers must leave behind, tracked beside the window. The reply is what arrived
// since the last transmission or since the reply window ended; the status comes from the
// decoding model fed its rendering, so a reply is read from its own first character whatever
// came before it. RxBuffer holds the reply's first kMaxRenderedChars characters, after as many
// of the latest characters from before it as still fit.
struct Model {
    QString before; // RxBuffer when the last command went out
    QString reply;  // only its first kMaxRenderedChars characters count
    QString rx;
    QString label12;
    QString label25;
    qint16 reading = 0;
    bool awaiting = false;
    bool flooded = false;
    bool cutOff = false; // the reply window ended inside a reply: its rest is not decoded
};

Form1*& formSlot()
{
    static Form1* form = nullptr;
    return form;
}

// One window for every input: making one costs far more than an input. It is never loaded,
// so no port opens; the receive path works the same on a closed port.
Form1& theForm()
{
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "zeva-fuzz";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv); // lives as long as the process
    }
    Form1*& form = formSlot();
    if (!form) {
        Form1::setMessageBoxHook([](const QString&, const QString&) {});
        form = new Form1;
    }
    return *form;
}

void checkAfterReceive(Form1& form, const Model& model)
{
    FUZZ_CHECK(form.RxBuffer.size() <= kMaxRenderedChars, QString::number(form.RxBuffer.size()));
    FUZZ_CHECK(form.RxBuffer == model.rx, form.RxBuffer.left(200));
    // model.label12 renders model.rx, which RxBuffer has just matched: one rendering fewer.
    FUZZ_CHECK(form.Label12->text() == model.label12, form.Label12->text().left(200));
    FUZZ_CHECK(form.AwaitingReply == 0, form.LastCommand);
}

void deliver(Form1& form, Model& model, const QByteArray& piece)
{
    model.reply = (model.reply + QString::fromLatin1(piece)).left(kMaxRenderedChars);
    model.rx = model.before.right(kMaxRenderedChars - model.reply.size()) + model.reply;
    form.MSComm1.injectReceived(piece);
    model.label12 = DisplayForm(model.rx);
    model.awaiting = false;
    if (!model.cutOff) {
        const ModelDecoded d = modelDecode(form.LastCommand, DisplayForm(model.reply));
        if (d.status) model.label25 = *d.status;
        if (d.reading) model.reading = *d.reading;
    }
    checkAfterReceive(form, model);
}

void runStep(Form1& form, Model& model, uint8_t control, const QByteArray& piece)
{
    switch (control % kStepKinds) {
    case Timer2Tick:
        form.Timer2_Timer();
        if (model.awaiting) model.label12 = kTimeOutMark;
        // What comes after a reply cut off without its CR is decoded from the next command on.
        model.cutOff = !model.reply.isEmpty() && !model.reply.contains(u'\r');
        model.before.clear();
        model.reply.clear();
        model.rx.clear();
        model.awaiting = false;
        break;
    case Timer4Tick:
        form.Timer4_Timer();
        model.label12.clear();
        model.label25.clear();
        FUZZ_CHECK(form.Label11->text().isEmpty(), "Timer4");
        break;
    case Send:
        form.LastCommand = queryForByte(control / kStepKinds);
        form.Hyouji(form.LastCommand, 1);
        model.before = model.rx;
        model.reply.clear();
        model.awaiting = true;
        model.cutOff = false;
        FUZZ_CHECK(form.Label11->text() == DisplayForm(form.LastCommand), form.Label11->text());
        break;
    case Flood:
        // One flood fills the buffer, and every later step meets the bound as well; more floods
        // in one input would only repeat that at the cost of tens of kilobytes each.
        if (model.flooded) {
            deliver(form, model, piece);
            return;
        }
        model.flooded = true;
        deliver(form, model,
                piece.isEmpty() ? QByteArray(kFloodBytes, '9')
                                : piece.repeated(kFloodBytes / piece.size() + 1));
        return;
    default:
        deliver(form, model, piece);
        return;
    }
    // A tick or a send leaves the buffer and the monitor as the model says.
    FUZZ_CHECK(form.RxBuffer == model.rx, form.RxBuffer.left(200));
    FUZZ_CHECK(form.Label12->text() == model.label12, form.Label12->text().left(200));
    FUZZ_CHECK(form.AwaitingReply == (model.awaiting ? 1 : 0), form.LastCommand);
}

// After every step the status line and the reading are what the model decoded last.
void checkStatus(const Form1& form, const Model& model)
{
    FUZZ_CHECK(form.Label25->text() == model.label25,
               form.LastCommand + u'|' + form.Label25->text() + u'|' + model.label25);
    FUZZ_CHECK(form.ReadingValue == model.reading, form.LastCommand);
}

// Ends any exchange a previous input left open, without an event loop to tick the timers: a
// transmission starts the next reply afresh, its time-out empties RxBuffer, and the monitor
// clears.
void reset(Form1& form)
{
    form.Hyouji(form.LastCommand, 1);
    form.Timer2_Timer();
    form.Timer4_Timer();
}

} // namespace

void fuzzReceivePath(const uint8_t* data, size_t size)
{
    if (size == 0) return;
    Form1& form = theForm();
    reset(form);
    form.LastCommand = queryForByte(data[0]);
    Model model;
    model.reading = form.ReadingValue;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    for (const QByteArray& step : rest.split(char(kStepMarker))) {
        if (step.isEmpty()) continue;
        runStep(form, model, uint8_t(step[0]), step.mid(1));
        // The monitor shows the buffer, the time-out mark or nothing.
        const QString shown = form.Label12->text();
        FUZZ_CHECK(shown.isEmpty() || shown == kTimeOutMark || shown == model.label12, shown);
        checkStatus(form, model);
    }
    reset(form);
}

void fuzzReceivePathShutdown()
{
    delete std::exchange(formSlot(), nullptr);
}
