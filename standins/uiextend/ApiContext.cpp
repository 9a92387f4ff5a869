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
    QWidget* widget = static_cast<QWidget*>(parent);
    // A stale or foreign pointer would crash the next dialog; accept only live widgets.
    if (widget && !QApplication::allWidgets().contains(widget))
        return ZTUIEX_ERR_INVALID_ARG;
    uiex::setParentWindow(widget);
    return ZTUIEX_OK;
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
