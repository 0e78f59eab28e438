#pragma once

// Opens the entry editor callout of a real document window the way a user does.
#include "app/GuiDriver.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/EntryCallout.h"
#include "entries/desktop/EntryTableController.h"
#include "entries/desktop/KTTableViewArray.h"

#include <QPushButton>

#include <functional>

// Opens the editor on row `row` (-1: Add a new entry), runs `answer` once the callout
// shows, and returns when the callout has closed.
inline void editInCallout(quorly::DocumentWindowWidget* window, int row, std::function<void()> answer)
{
    quorly::EntryCallout* editor = window->tableController()->entryCallout();
    whenReady([editor] { return editor->isOpen() && editor->pwDataCalloutView()->isVisible(); }, std::move(answer));
    if (row < 0) {
        window->addButton()->click();
    } else {
        window->table()->selectRowIndexes({row});
        window->tableController()->editEntry();
    }
}
