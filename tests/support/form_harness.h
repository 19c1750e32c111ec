#pragma once
// A Form1 wired to a pty peer as COM1, with message boxes recorded instead of shown.
#include "pty_peer.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>

inline const QString kMissingDevice = QStringLiteral("/dev/zeva-test-no-such-device");

// Runs the event loop until cond() holds or timeoutMs passes.
inline bool waitUntil(const std::function<bool()>& cond, int timeoutMs = 3000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(1);
    }
    return true;
}

struct FormHarness {
    PtyPeer peer;
    QStringList boxes;
    std::unique_ptr<Form1> form;
    int endCalls = 0;

    explicit FormHarness(const QString& com2 = kMissingDevice, bool load = true)
    {
        installFontSubstitutions();
        Form1::setMessageBoxHook([this](const QString& text, const QString&) { boxes << text; });
        form = std::make_unique<Form1>();
        form->MSComm1.setDevices(peer.slavePath(), com2);
        form->endProgram = [this] { ++endCalls; };
        if (load) form->Form_Load();
    }
    ~FormHarness() { Form1::setMessageBoxHook({}); }

    // The peer answers; returns once the receive handler has taken every byte.
    bool reply(const QByteArray& bytes)
    {
        const qsizetype before = form->RxBuffer.size();
        if (!peer.write(bytes)) return false;
        return waitUntil([&] { return form->RxBuffer.size() >= before + bytes.size(); });
    }
    QByteArray sent(int atLeast) { return peer.read(atLeast, 2000); }
};
