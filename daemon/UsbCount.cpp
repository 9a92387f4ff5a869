// Start-up count of the supported keys already plugged: they produce no
// arrival event, so the first pass must expect them.
#include <libusb.h>

#include "Daemon.h"

void runEnumDevice()
{
    if (libusb_init(nullptr) < 0)
        return;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(nullptr, &list);
    if (n >= 0 && list) {
        for (ssize_t i = 0; list[i]; ++i) {
            libusb_device_descriptor desc {};
            if (libusb_get_device_descriptor(list[i], &desc) != 0)
                break;
            if (desc.idVendor == ZT_USB_VENDOR_ID && desc.idProduct == ZT_USB_PRODUCT_ID)
                ++g_dwDevCount;
        }
        libusb_free_device_list(list, 1);
    }
    libusb_exit(nullptr);
}
