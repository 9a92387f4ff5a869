#pragma once
// The plugged keys as the manager knows them, without widgets: the tables an
// update pass fills from the slot registry, their lock, the key chosen in the
// tree, and signals for what changed. Passes run on worker threads; the
// signals reach a receiver in the GUI thread queued.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>
#include <atomic>
#include <pthread.h>

#include "KeySelection.h"
#include "common/KeyEvent.h"
#include "common/ZTCommonDef.h"

class DeviceModel : public QObject
{
    Q_OBJECT

public:
    static const int kRows = 10;  // slots 0..3 are used; the rest stays empty
    static const int kSerialLen = 20;

    struct Key {
        QByteArray serial;  // without the token's padding
        QByteArray deviceName;
    };

    explicit DeviceModel(QObject* parent = nullptr);
    // Waits for passes still running: they emit on this object.
    ~DeviceModel() override;

    // Keys whose initial PIN must be changed ask for it when this is set.
    void setForceModifyPin(bool on) { m_forceModifyPin = on; }

    // One pass over the registry's slots, on the calling thread.
    void runUpdatePass(ZTKeyEvent event);
    // The same on a thread of its own; false when none could be made.
    bool startUpdatePass(ZTKeyEvent event);
    void waitForUpdatePasses();

    // Plugged keys with a serial, taken under the passes' lock.
    QVector<Key> pluggedKeys() const;

    KeySelection& selection() { return m_selection; }
    const KeySelection& selection() const { return m_selection; }

    // Held by each pass for its whole run (tests hold it to keep passes waiting).
    pthread_mutex_t* passLock() { return &m_passLock; }

signals:
    void keysCleared();
    // nodeText: "label(serial)"; deviceName: the registry's name of the key.
    void keyFound(QString nodeText, QByteArray deviceName);
    // The pass read the keys' certificates into the token's memory store.
    void certificatesRead();
    void keysPresent(bool present);
    void statusText(QString textKey);
    void openBankPage();
    // Tree position of the node to select (empty slots leave no node).
    void selectNode(int position);
    void setPinRequested(int slot);

private:
    bool passSlot(int slot, int* slotNeedSetPin);

    mutable pthread_mutex_t m_passLock;
    // Written by passes only, under m_passLock.
    char m_deviceName[kRows][ZT_PATH_LEN] = {};
    unsigned char m_labelUtf16[kRows][64] = {};
    char m_serial[kRows][kSerialLen] = {};
    QString m_nodeText[kRows];
    int m_slotNeedSetPin = -1;  // slot of the last forced set-PIN request
    bool m_hasOpened = false;   // the bank page was opened once

    std::atomic<bool> m_forceModifyPin{false};
    std::atomic<int> m_livePasses{0};
    KeySelection m_selection;  // GUI thread only
};
