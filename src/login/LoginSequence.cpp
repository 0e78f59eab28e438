#include "login/LoginSequence.h"

#include "login/KeySink.h"
#include "platform/Clipboard.h"

#include <QCoreApplication>
#include <QList>
#include <QPair>
#include <QTimer>

namespace quorly {

namespace {

int gDepth = 0;
int gReserved = 0;
quint64 gSecretsAtBegin = 0;
QList<QPair<QString, std::function<void()>>> gWaiting;

bool idle()
{
    return gDepth == 0 && gReserved == 0;
}

void runWaiting()
{
    while (!gWaiting.isEmpty() && idle()) {
        const auto next = gWaiting.takeFirst();
        next.second();
    }
}

void runWaitingLater()
{
    if (!gWaiting.isEmpty() && QCoreApplication::instance())
        QTimer::singleShot(0, QCoreApplication::instance(), runWaiting);
}

}  // namespace

SequenceScope::SequenceScope()
{
    if (gDepth++ == 0) {
        gSecretsAtBegin = clipboard().secretsPut();
        keySink().beginSequence();
    }
}

SequenceScope::~SequenceScope()
{
    if (--gDepth > 0)
        return;
    if (keySink().stopped() && clipboard().secretsPut() != gSecretsAtBegin)
        clipboard().clearIfStillOurs();
    keySink().endSequence();
    runWaitingLater();
}

bool SequenceScope::active()
{
    return !idle();
}

void SequenceScope::runWhenIdle(const QString& key, std::function<void()> work)
{
    if (idle()) {
        work();
        return;
    }
    for (const auto& waiting : gWaiting) {
        if (waiting.first == key)
            return;
    }
    gWaiting.append({key, std::move(work)});
}

SequenceReservation::SequenceReservation()
{
    ++gReserved;
}

SequenceReservation::~SequenceReservation()
{
    if (--gReserved == 0 && gDepth == 0)
        runWaitingLater();
}

}  // namespace quorly
