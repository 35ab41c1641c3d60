#include "ui/qt/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function of the global namespace.
static void InitKelvoraResources() {
    Q_INIT_RESOURCE(kelvora);
}

namespace kelvora {

void InitResources() {
    static const bool done = [] {
        InitKelvoraResources();
        return true;
    }();
    (void)done;
}

}  // namespace kelvora
