// The dialogs the programs call.
#include "Export.h"
#include "UiContext.h"

ZTUIEX_EXPORT uint32_t ZTUIEx_VerifyPin(void*, uint32_t)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    return ZTUIEX_ERR_NOT_SUPPORTED(4);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_VerifyPin);

ZTUIEX_EXPORT uint32_t ZTUIEx_ChangePin(void*, uint32_t)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    return ZTUIEX_ERR_NOT_SUPPORTED(5);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_ChangePin);

ZTUIEX_EXPORT uint32_t ZTUIEx_SetPin(void*, uint32_t)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    return ZTUIEX_ERR_NOT_SUPPORTED(6);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SetPin);

ZTUIEX_EXPORT uint32_t ZTUIEx_InitTokenWithDefConfig(void*, uint32_t)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    return ZTUIEX_ERR_NOT_SUPPORTED(12);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_InitTokenWithDefConfig);

ZTUIEX_EXPORT uint32_t ZTUIEx_MessageBox(const char*, const char*, uint32_t, uint32_t)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    return ZTUIEX_ERR_NOT_SUPPORTED(19);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_MessageBox);
