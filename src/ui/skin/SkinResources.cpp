#include "ui/skin/SkinResources.h"

#include <QtGlobal>
#include <mutex>

// Q_INIT_RESOURCE declares a function of the global namespace, so it is called from here.
static void InitSkinResourceData() {
    Q_INIT_RESOURCE(skin);
}

namespace kelvora {

QString ProgramIconPath(int size) {
    return QStringLiteral(":/icons/hicolor/%1x%1/apps/kelvora.png").arg(size);
}

void InitSkinResources() {
    static std::once_flag once;
    std::call_once(once, InitSkinResourceData);
}

}  // namespace kelvora
