#pragma once
// SM3 hash (GB/T 32905-2016), incremental.
#include <cstddef>
#include <cstdint>

class Sm3
{
public:
    static const size_t kDigestSize = 32;
    Sm3();
    void update(const uint8_t* data, size_t length);
    void finish(uint8_t digest[kDigestSize]);

private:
    void compress(const uint8_t block[64]);

    uint32_t m_state[8];
    uint8_t m_buffer[64];
    size_t m_buffered = 0;
    uint64_t m_totalBytes = 0;
};
