#pragma once

#include <QFileDialog>
#include <QString>

namespace quorly {

// The Open… panel. A password file is a folder ("Big.qly") that the user knows as one
// file: it is chosen as one item, and a double-click or Return on it opens it instead of
// showing what lies inside. Other folders are only for moving about, and plain files,
// which Quorly cannot open, are not listed.
class OpenPasswordFileDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit OpenPasswordFileDialog(QWidget* parent = nullptr);

    // The package chosen, once the panel was accepted.
    QString chosenPackage() const { return chosen_; }

    void accept() override;

private:
    void choose(const QString& package);

    QString chosen_;
};

}  // namespace quorly
