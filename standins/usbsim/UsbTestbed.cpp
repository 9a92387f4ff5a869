#include "UsbTestbed.h"

#include <cstdio>
#include <stdexcept>
#include <umockdev.h>

std::string usbDescriptors(uint16_t vendor, uint16_t product)
{
    const unsigned char device[18] = {18, 1, 0x00, 0x02, 0, 0, 0, 64,
                                      static_cast<unsigned char>(vendor & 0xFF), static_cast<unsigned char>(vendor >> 8),
                                      static_cast<unsigned char>(product & 0xFF), static_cast<unsigned char>(product >> 8),
                                      0x00, 0x01, 0, 0, 0, 1};
    // Configuration 1 with one vendor-specific interface and no endpoints.
    const unsigned char config[18] = {9, 2, 18, 0, 1, 1, 0, 0x80, 50,
                                      9, 4, 0, 0, 0, 0xFF, 0, 0, 0};
    std::string out(reinterpret_cast<const char*>(device), sizeof(device));
    out.append(reinterpret_cast<const char*>(config), sizeof(config));
    return out;
}

UsbTestbed::UsbTestbed()
{
    m_testbed = umockdev_testbed_new();
    if (!m_testbed)
        throw std::runtime_error("umockdev testbed cannot be created");
    gchar* root = umockdev_testbed_get_root_dir(m_testbed);
    m_rootDir = root ? root : "";
    g_free(root);
}

UsbTestbed::~UsbTestbed()
{
    g_object_unref(m_testbed);
}

// Hands out addresses as a hub does: the next free one after the last, 1 to
// 127. libusb reads the address as one byte, so a bus that never reused them
// went deaf after 255 plugs; reusing one while a device holds it would merge
// two devices.
int UsbTestbed::nextAddress()
{
    for (int step = 1; step <= 127; ++step) {
        const int address = (m_lastAddress + step - 1) % 127 + 1;
        bool used = false;
        for (const auto& device : m_devices)
            used = used || device.second.address == address;
        if (!used)
            return m_lastAddress = address;
    }
    return 0;
}

int UsbTestbed::add(uint16_t vendor, uint16_t product, bool announce)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int devnum = nextAddress();
    if (devnum == 0)
        return 0;
    const int id = m_nextId++;
    char name[32], devnumText[16], devName[32], vid[8], pid[8];
    snprintf(name, sizeof(name), "1-%d", id);
    snprintf(devnumText, sizeof(devnumText), "%d", devnum);
    snprintf(devName, sizeof(devName), "bus/usb/001/%03d", devnum);
    snprintf(vid, sizeof(vid), "%04x", vendor);
    snprintf(pid, sizeof(pid), "%04x", product);
    gchar* path = umockdev_testbed_add_device(m_testbed, "usb", name, nullptr,
                                              "busnum", "1", "devnum", devnumText, "speed", "480",
                                              "bConfigurationValue", "1", "idVendor", vid, "idProduct", pid,
                                              nullptr,
                                              "DEVTYPE", "usb_device", "DEVNAME", devName, "BUSNUM", "001",
                                              "DEVNUM", devName + 12, nullptr);
    if (!path)
        return 0;
    std::string descriptors = usbDescriptors(vendor, product);
    umockdev_testbed_set_attribute_binary(m_testbed, path, "descriptors",
                                          reinterpret_cast<guint8*>(&descriptors[0]),
                                          static_cast<int>(descriptors.size()));
    m_devices[id] = Device {path, devnum};
    if (announce)
        umockdev_testbed_uevent(m_testbed, path, "add");
    g_free(path);
    return id;
}

int UsbTestbed::plug(uint16_t vendor, uint16_t product)
{
    return add(vendor, product, true);
}

int UsbTestbed::addQuietly(uint16_t vendor, uint16_t product)
{
    return add(vendor, product, false);
}

bool UsbTestbed::unplug(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_devices.find(id);
    if (it == m_devices.end())
        return false;
    // Without the uevent first, libusb never learns that the device left.
    umockdev_testbed_uevent(m_testbed, it->second.sysfsPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, it->second.sysfsPath.c_str());
    m_devices.erase(it);
    return true;
}

int UsbTestbed::deviceCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_devices.size());
}
