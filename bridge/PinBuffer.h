#pragma once
// A PIN as the SKF library takes it: the first 16 bytes of its UTF-8 text,
// NUL-terminated, wiped when it goes out of scope.
#include <QByteArray>
#include <QString>
#include <cstring>
#include <string.h>

class PinBuffer
{
public:
    explicit PinBuffer(const QString& pin)
    {
        QByteArray utf8 = pin.toUtf8();
        const size_t n = static_cast<size_t>(utf8.size()) < kBytes ? static_cast<size_t>(utf8.size()) : kBytes;
        memcpy(m_bytes, utf8.constData(), n);
        explicit_bzero(utf8.data(), static_cast<size_t>(utf8.size()));
    }
    ~PinBuffer() { explicit_bzero(m_bytes, sizeof(m_bytes)); }
    PinBuffer(const PinBuffer&) = delete;
    PinBuffer& operator=(const PinBuffer&) = delete;

    const char* c_str() const { return m_bytes; }

    // A PIN must reach the key whole: at most kBytes of UTF-8, and
    // text that has a UTF-8 form at all (no lone surrogate) without a NUL,
    // which would end it early. Counted without making a copy of it.
    static bool fitsWhole(const QString& pin)
    {
        size_t bytes = 0;
        const int n = pin.size();
        for (int i = 0; i < n; ++i) {
            const ushort c = pin.at(i).unicode();
            if (c == 0)
                return false;
            if (QChar::isHighSurrogate(c)) {
                if (i + 1 >= n || !QChar::isLowSurrogate(pin.at(i + 1).unicode()))
                    return false;
                ++i;
                bytes += 4;
            } else if (QChar::isLowSurrogate(c)) {
                return false;
            } else {
                bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
            }
            if (bytes > kBytes)
                return false;
        }
        return true;
    }

    static constexpr size_t kBytes = 16;

private:
    char m_bytes[kBytes + 1] = {};
};

// Overwrites the characters of a QString the bridge owns.
inline void wipeString(QString& text)
{
    if (!text.isEmpty())
        explicit_bzero(text.data(), static_cast<size_t>(text.size()) * sizeof(QChar));
    text.clear();
}

inline void wipeBytes(QByteArray& bytes)
{
    if (!bytes.isEmpty())
        explicit_bzero(bytes.data(), static_cast<size_t>(bytes.size()));
    bytes.clear();
}

// Overwrites a received text where it lies, also while the socket that
// delivered it still shares it: a detaching write would wipe a copy and leave
// the request in the socket's buffer. Literals and raw data are left alone.
inline void wipeReceivedText(QString& text)
{
    QString::DataPtr data = text.data_ptr();
    if (!text.isEmpty() && data->isMutable() && !data->ref.isStatic())
        explicit_bzero(const_cast<QChar*>(text.constData()), static_cast<size_t>(text.size()) * sizeof(QChar));
    text = QString();
}
