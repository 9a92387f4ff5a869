#pragma once
// A PIN as the SKF library takes it: the first 16 bytes of its UTF-8 text,
// NUL-terminated, wiped when it goes out of scope.
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
