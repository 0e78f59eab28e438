#include "platform/Clipboard.h"

namespace quorly {

namespace {

std::shared_ptr<Clipboard>& installed()
{
    static std::shared_ptr<Clipboard> current;
    return current;
}

}  // namespace

Clipboard& clipboard()
{
    static MemoryClipboard standIn;
    const auto& current = installed();
    return current ? *current : static_cast<Clipboard&>(standIn);
}

void setClipboard(std::shared_ptr<Clipboard> c)
{
    installed() = std::move(c);
}

void MemoryClipboard::putSecret(const QString& text)
{
    countSecret();
    text_ = text;
    ours_ = true;
}

void MemoryClipboard::clearIfStillOurs()
{
    if (!ours_)
        return;
    text_.clear();
    ours_ = false;
}

void MemoryClipboard::copyFromElsewhere(const QString& text)
{
    text_ = text;
    ours_ = false;
}

}  // namespace quorly
