#pragma once
// Reading and writing record fields at fixed offsets of a datagram. A layout is written once as a
// function that names each field with its offset (`visit(offset, field)`); the same layout then
// serves both directions through FieldReader and FieldWriter, so a datagram's encoder and decoder
// cannot drift apart.
//
// Field kinds: u8 and u8 arrays (bytes as they are), u16 and u16 arrays (big-endian words), u32
// (big-endian), char16_t arrays (one 8-bit character per byte: widened without sign on reading, low byte on
// writing).

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <array>
#include <cstddef>

namespace common::wire {

// Four bytes, most significant first.
constexpr quint32 joinBE32(quint8 b3, quint8 b2, quint8 b1, quint8 b0)
{
    return quint32(b3) << 24 | quint32(b2) << 16 | quint32(b1) << 8 | b0;
}

struct FieldReader {
    QByteArrayView in;

    quint8 byte(int offset) const { return quint8(in[offset]); }

    void operator()(int offset, quint8 &v) const { v = byte(offset); }
    void operator()(int offset, quint16 &v) const { v = quint16(byte(offset) << 8 | byte(offset + 1)); }
    void operator()(int offset, quint32 &v) const
    {
        v = joinBE32(byte(offset), byte(offset + 1), byte(offset + 2), byte(offset + 3));
    }
    template <std::size_t N>
    void operator()(int offset, std::array<quint8, N> &a) const
    {
        for (std::size_t i = 0; i < N; ++i)
            a[i] = byte(offset + int(i));
    }
    template <std::size_t N>
    void operator()(int offset, std::array<quint16, N> &a) const
    {
        for (std::size_t i = 0; i < N; ++i)
            (*this)(offset + 2 * int(i), a[i]);
    }
    template <std::size_t N>
    void operator()(int offset, std::array<char16_t, N> &a) const
    {
        for (std::size_t i = 0; i < N; ++i)
            a[i] = char16_t(byte(offset + int(i)));
    }
};

struct FieldWriter {
    QByteArray &out;

    void setByte(int offset, quint8 v) const { out[offset] = char(v); }

    void operator()(int offset, const quint8 &v) const { setByte(offset, v); }
    void operator()(int offset, const quint16 &v) const
    {
        setByte(offset, quint8(v >> 8));
        setByte(offset + 1, quint8(v & 0xFF));
    }
    void operator()(int offset, const quint32 &v) const
    {
        (*this)(offset, quint16(v >> 16));
        (*this)(offset + 2, quint16(v & 0xFFFF));
    }
    template <std::size_t N>
    void operator()(int offset, const std::array<quint8, N> &a) const
    {
        for (std::size_t i = 0; i < N; ++i)
            setByte(offset + int(i), a[i]);
    }
    template <std::size_t N>
    void operator()(int offset, const std::array<quint16, N> &a) const
    {
        for (std::size_t i = 0; i < N; ++i)
            (*this)(offset + 2 * int(i), a[i]);
    }
    template <std::size_t N>
    void operator()(int offset, const std::array<char16_t, N> &a) const
    {
        for (std::size_t i = 0; i < N; ++i)
            setByte(offset + int(i), quint8(a[i] & 0xFF));
    }
};

} // namespace common::wire
