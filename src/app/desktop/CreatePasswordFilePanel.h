#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QFileDialog;
class QLineEdit;
class QMessageBox;
class QWidget;

namespace quorly {

// The "Create Password File" panel of `newDocument:`: a save panel whose accessory holds
// the new file's password twice, and the "Bad Password" alert that sends the user back
// to it. Application-modal: no document window owns it.
class CreatePasswordFilePanel : public QObject {
    Q_OBJECT
public:
    struct Choice {
        QString path;    // absolute, ending in ".qly"
        QString framis;  // the password typed twice
    };

    explicit CreatePasswordFilePanel(QObject* parent = nullptr);
    ~CreatePasswordFilePanel() override;

    // Runs the panel (again after every "Bad Password", as the user left it) until the
    // user gives a name and the same non-empty password twice, or cancels (nullopt).
    std::optional<Choice> run();

    // The parts tests drive.
    QFileDialog* dialog() const { return dialog_; }
    QLineEdit* framis1() const { return framis1_; }
    QLineEdit* framis2() const { return framis2_; }
    QMessageBox* badPasswordAlert() const { return alert_; }

    static QString message();

private:
    QFileDialog* dialog_;
    QWidget* framisView_;
    QLineEdit* framis1_;
    QLineEdit* framis2_;
    QMessageBox* alert_;
};

}  // namespace quorly
