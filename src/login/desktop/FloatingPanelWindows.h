#pragma once

#include "login/LoginPanels.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace quorly {

// The two floating panels as windows: above every other window, never taking the
// keyboard focus (the browser under them keeps it while the program types), on the
// screen that holds the mouse pointer.
class FloatingPanelWindows : public FloatingPanels {
public:
    FloatingPanelWindows();
    ~FloatingPanelWindows() override;

    void showFloatingPassword(const QString& password, const QString& entryName) override;
    void hideFloatingPassword() override;
    void showFloatingWarning() override;
    void hideFloatingWarning() override;

    QWidget* passwordPanel() const { return passwordPanel_; }
    QWidget* warningPanel() const { return warningPanel_; }

private:
    QPointer<QWidget> passwordPanel_;
    QLabel* passwordLabel_ = nullptr;
    QLabel* passwordTitle_ = nullptr;
    QPointer<QWidget> warningPanel_;
};

}  // namespace quorly
