#include "platform/desktop/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function of the global namespace.
static void registerResourceTable()
{
    Q_INIT_RESOURCE(resources);
}

namespace quorly {

void initResources()
{
    static const bool registered = [] {
        registerResourceTable();
        return true;
    }();
    (void)registered;
}

}  // namespace quorly
