// Reads typed values off the front of a fuzzer's input, so that one input can
// steer several parameters; past the end every read answers zero / empty.
#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput final
{
public:
    FuzzInput(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    { }

    template<class T> T take()
    {
        T value {};
        const size_t n = std::min(sizeof(T), m_size - m_offset);
        if (n > 0)
            std::memcpy(&value, m_data + m_offset, n);
        m_offset += n;
        return value;
    }
    // Up to maxLength bytes, its length given by the next byte.
    QByteArray takeBytes(size_t maxLength)
    {
        const size_t wanted = std::min<size_t>(take<uint8_t>(), maxLength);
        const size_t n = std::min(wanted, m_size - m_offset);
        QByteArray bytes(reinterpret_cast<const char *>(m_data + m_offset), qsizetype(n));
        m_offset += n;
        return bytes;
    }
    QByteArray rest()
    {
        QByteArray bytes(reinterpret_cast<const char *>(m_data + m_offset), qsizetype(m_size - m_offset));
        m_offset = m_size;
        return bytes;
    }
    bool atEnd() const { return m_offset >= m_size; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_offset = 0;
};
