#pragma once

#include "app/desktop/CreatePasswordFilePanel.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

// Types a file name and the two passwords into the creation panel and presses Save, as
// a person would.
inline void fillCreatePanel(quorly::CreatePasswordFilePanel& panel, const QString& name, const QString& first,
                            const QString& second)
{
    panel.dialog()->findChild<QLineEdit*>("fileNameEdit")->setText(name);
    panel.framis1()->setText(first);
    panel.framis2()->setText(second);
    panel.dialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
}
