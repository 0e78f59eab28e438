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
quint64 gSecretsAtBegin = 0;
QList<QPair<QString, std::function<void()>>> gWaiting;

void runWaiting()
{
    while (!gWaiting.isEmpty() && gDepth == 0) {
        const auto next = gWaiting.takeFirst();
        next.second();
    }
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
    if (!gWaiting.isEmpty() && QCoreApplication::instance())
        QTimer::singleShot(0, QCoreApplication::instance(), runWaiting);
}

bool SequenceScope::active()
{
    return gDepth > 0;
}

void SequenceScope::runWhenIdle(const QString& key, std::function<void()> work)
{
    if (gDepth == 0) {
        work();
        return;
    }
    for (const auto& waiting : gWaiting) {
        if (waiting.first == key)
            return;
    }
    gWaiting.append({key, std::move(work)});
}

}  // namespace quorly
