#pragma once
// What every fuzz target shares: a failed expectation stops the run with a message, so libFuzzer
// keeps the input that caused it.

#include <QByteArray>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#define FUZZ_EXPECT(condition)                                                                                   \
    do {                                                                                                         \
        if (!(condition)) {                                                                                      \
            std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__, #condition);             \
            std::abort();                                                                                        \
        }                                                                                                        \
    } while (false)

// Reads the input front to back; past its end every read gives zeros.
class FuzzInput {
public:
    FuzzInput(const unsigned char *data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_at >= m_size; }
    unsigned char byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    unsigned int be32()
    {
        unsigned int v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | byte();
        return v;
    }
    // Up to `n` bytes, fewer at the end of the input.
    QByteArray bytes(std::size_t n)
    {
        const std::size_t take = std::min(n, m_size - std::min(m_at, m_size));
        QByteArray out(reinterpret_cast<const char *>(m_data + m_at), qsizetype(take));
        m_at += take;
        return out;
    }

private:
    const unsigned char *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};
