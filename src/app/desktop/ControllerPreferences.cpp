// The controller's side of the preferences panel: filling, running and saving it.
#include "app/desktop/Controller.h"

#include "app/HotKeyInstaller.h"
#include "app/PreferencesPanelRules.h"
#include "app/desktop/PreferencesPanel.h"
#include "entries/desktop/DocumentPanels.h"
#include "platform/RunLoop.h"

namespace quorly {

void Controller::preferences()
{
    PreferencesPanel* panel = preferencesPanel_.get();
    if (RunLoop::isRunning(panel)) {
        panel->raise();
        panel->activateWindow();
        return;
    }
    // Every opening shows the store as it is now: edits abandoned by Cancel are gone,
    // and a change another Quorly made meanwhile is shown.
    panel->fill(preferencesPanelValues());
    const QMetaObject::Connection ok = connect(panel, &PreferencesPanel::okPressed, this, &Controller::preferencesOK);
    const QMetaObject::Connection cancel =
        connect(panel, &PreferencesPanel::cancelPressed, this, &Controller::Cancel);
    runPanel(panel, nullptr);
    disconnect(ok);
    disconnect(cancel);
}

void Controller::preferencesOK(const QWidget* sender)
{
    if (!sender || !RunLoop::isRunning(sender->window()))
        return;
    // First the run ends (and the field being edited hands over its text), then the
    // settings are written from the controls as they are.
    OK(sender);
    savePreferencesPanelValues(preferencesPanel_->values(), [this] {
        hotKeys_->unRegisterHotKeys();
        hotKeys_->registerHotKeys();
    });
}

}  // namespace quorly
