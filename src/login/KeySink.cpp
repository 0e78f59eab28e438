#include "login/KeySink.h"

namespace quorly {

namespace {

class NoKeyboard : public KeySink {
public:
    void beginSequence() override {}
    void endSequence() override {}
    bool stopped() const override { return true; }
    void typeCharacter(char32_t) override {}
    void endOfText() override {}
    void pressTab() override {}
    void pressReturn() override {}
    void pressPaste(int) override {}
    void pause(std::chrono::microseconds) override {}
};

std::shared_ptr<KeySink>& installed()
{
    static std::shared_ptr<KeySink> current;
    return current;
}

}  // namespace

KeySink& keySink()
{
    static NoKeyboard none;
    const auto& current = installed();
    return current ? *current : static_cast<KeySink&>(none);
}

void setKeySink(std::shared_ptr<KeySink> sink)
{
    installed() = std::move(sink);
}

}  // namespace quorly
