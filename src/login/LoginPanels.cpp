#include "login/LoginPanels.h"

namespace quorly {

namespace {

class NoPanels : public FloatingPanels {
public:
    void showFloatingPassword(const QString&, const QString&) override {}
    void hideFloatingPassword() override {}
    void showFloatingWarning() override {}
    void hideFloatingWarning() override {}
};

std::shared_ptr<FloatingPanels>& installedPanels()
{
    static std::shared_ptr<FloatingPanels> current;
    return current;
}

std::function<CWBrowserDocument*()>& cwBrowserLookup()
{
    static std::function<CWBrowserDocument*()> lookup;
    return lookup;
}

std::function<CWBrowserDocument*()>& cwBrowserMaker()
{
    static std::function<CWBrowserDocument*()> maker;
    return maker;
}

}  // namespace

FloatingPanels& floatingPanels()
{
    static NoPanels none;
    const auto& current = installedPanels();
    return current ? *current : static_cast<FloatingPanels&>(none);
}

void setFloatingPanels(std::shared_ptr<FloatingPanels> panels)
{
    installedPanels() = std::move(panels);
}

CWBrowserDocument* keyWindowCWBrowser()
{
    const auto& lookup = cwBrowserLookup();
    return lookup ? lookup() : nullptr;
}

void setKeyWindowCWBrowserLookup(std::function<CWBrowserDocument*()> lookup)
{
    cwBrowserLookup() = std::move(lookup);
}

CWBrowserDocument* makeCWBrowser()
{
    const auto& maker = cwBrowserMaker();
    return maker ? maker() : nullptr;
}

void setCWBrowserMaker(std::function<CWBrowserDocument*()> maker)
{
    cwBrowserMaker() = std::move(maker);
}

}  // namespace quorly
