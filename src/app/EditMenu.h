#pragma once

#include <QString>

namespace quorly {

// What the widget with the keyboard focus can do for the Edit menu, gathered when the
// menu opens.
struct EditTarget {
    bool isText = false;    // a text field or text view
    bool readOnly = false;
    bool secure = false;    // a password field: its text never leaves it
    bool hasText = false;
    bool hasSelection = false;
    bool canUndo = false;
    bool canRedo = false;
    bool clipboardHasText = false;
    bool isList = false;    // a list whose rows Select All selects
    bool listHasRows = false;
};

// Undo, Redo, Cut, Copy, Paste and Select All are enabled only where the focused widget
// would act on them, so that an enabled item never does nothing. Other titles: true.
bool validateEditItem(const QString& title, const EditTarget& target);

}  // namespace quorly
