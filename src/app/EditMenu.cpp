#include "app/EditMenu.h"

namespace quorly {

bool validateEditItem(const QString& title, const EditTarget& t)
{
    if (title == QLatin1String("Select All"))
        return (t.isText && t.hasText) || (t.isList && t.listHasRows);
    if (!t.isText)
        return title != QLatin1String("Undo") && title != QLatin1String("Redo") && title != QLatin1String("Cut")
            && title != QLatin1String("Copy") && title != QLatin1String("Paste");
    if (title == QLatin1String("Undo"))
        return t.canUndo && !t.readOnly;
    if (title == QLatin1String("Redo"))
        return t.canRedo && !t.readOnly;
    if (title == QLatin1String("Cut"))
        return t.hasSelection && !t.secure && !t.readOnly;
    if (title == QLatin1String("Copy"))
        return t.hasSelection && !t.secure;
    if (title == QLatin1String("Paste"))
        return t.clipboardHasText && !t.readOnly;
    return true;
}

}  // namespace quorly
