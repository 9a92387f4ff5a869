// Set-up of the library. Nothing here creates a widget: the windowless daemon
// loads the library too.
#include <QApplication>
#include <QWidget>

#include <cstring>

#include "Export.h"
#include "UiContext.h"

namespace {
constexpr size_t kMaxPathBytes = 4095;
}

ZTUIEX_EXPORT int32_t ZTUIEx_InitCtx(void)
{
    return 1;
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_InitCtx);

ZTUIEX_EXPORT uint32_t ZTUIEx_FreeCtx(void)
{
    uiex::setParentWindow(nullptr);
    uiex::setLanguagePath(std::string());
    return ZTUIEX_OK;
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_FreeCtx);

ZTUIEX_EXPORT uint32_t ZTUIEx_SetParentHwnd(void* parent)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    if (!parent) {
        uiex::setParentWindow(nullptr);
        return ZTUIEX_OK;
    }
    // Only one of this process's live widgets is taken, never a dangling or
    // foreign pointer. Callers hand over the window as QWidget* or QObject*,
    // or, in the maker's tradition, as its native window id.
    for (QWidget* widget : QApplication::allWidgets()) {
        WId native = widget->internalWinId();
        if (static_cast<void*>(widget) == parent || static_cast<void*>(static_cast<QObject*>(widget)) == parent ||
            (native && reinterpret_cast<void*>(native) == parent)) {
            uiex::setParentWindow(widget);
            return ZTUIEX_OK;
        }
    }
    return ZTUIEX_ERR_INVALID_ARG;
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SetParentHwnd);

ZTUIEX_EXPORT uint32_t ZTUIEx_SetSysLangPath(const char* path)
{
    // Paths of the programs live in 260-byte buffers; a longer text is not one of theirs.
    if (path && strnlen(path, kMaxPathBytes + 1) > kMaxPathBytes)
        return ZTUIEX_ERR_INVALID_ARG;
    uiex::setLanguagePath(path ? path : "");
    return ZTUIEX_OK;
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SetSysLangPath);
