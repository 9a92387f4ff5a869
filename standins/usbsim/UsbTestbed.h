#pragma once
// A simulated USB bus on a umockdev testbed: supported keys (and foreign
// devices) appear and vanish with real add/remove uevents, so a process that
// runs under umockdev-wrapper with this testbed's UMOCKDEV_DIR sees them
// through the real libusb, hot-plug callbacks included.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

struct _UMockdevTestbed;

class UsbTestbed
{
public:
    // Creates the testbed and sets UMOCKDEV_DIR in this process's environment,
    // so children started afterwards inherit it.
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // Adds a device and announces it with an "add" uevent; returns its id
    // (0 on failure). The default identity is the supported key.
    int plug(uint16_t vendor = 0x2EC9, uint16_t product = 0x1001);
    // Announces the departure with a "remove" uevent, then removes the device.
    bool unplug(int id);
    // Adds a device without announcing it (as if plugged before a watcher ran).
    int addQuietly(uint16_t vendor = 0x2EC9, uint16_t product = 0x1001);
    int deviceCount() const;
    std::string rootDir() const { return m_rootDir; }

private:
    int add(uint16_t vendor, uint16_t product, bool announce);
    int nextAddress();

    struct Device {
        std::string sysfsPath;
        int address;
    };
    _UMockdevTestbed* m_testbed = nullptr;
    std::string m_rootDir;
    std::map<int, Device> m_devices;  // by id
    int m_nextId = 1;
    int m_lastAddress = 0;
    mutable std::mutex m_mutex;
};

// The 18-byte device descriptor followed by a one-interface configuration.
std::string usbDescriptors(uint16_t vendor, uint16_t product);
