#pragma once
// The encoder's output: a byte buffer of fixed size, allocated once, that never grows. Bits are
// written most significant first; a completed 0xFF byte of coded data is followed by a stuffed
// 0x00, and every byte-aligned write (markers, segment fields) first completes a partial byte with
// 1-bits.
//
// Coded bits collect in a 64-bit register and reach the buffer four bytes at a time, so Size()
// counts only bytes that a byte-aligned write (or Fill) has pushed out; Encode ends with one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

class COutBitStream {
public:
    // Throws EMemoryError("COutBitStream", size) for a size of 0 or less or when memory runs out.
    explicit COutBitStream(long long size);
    COutBitStream(const COutBitStream&) = delete;
    COutBitStream& operator=(const COutBitStream&) = delete;

    // The low n bits of value (n <= 16; n = 0 writes nothing, n > 16 throws
    // EBufferError("SetBits:Max Bit Over")).
    void SetBits(uint32_t value, int n);
    // Byte-aligned writes without stuffing; each completes a partial byte with 1-bits first.
    void SetByte(uint8_t value);
    void SetWord(uint16_t value);  // high byte first
    // Throws EBufferError("CopyByte") when position + length would reach the end of the buffer.
    void CopyByte(const uint8_t* data, size_t length);
    // Completes a partial byte with 1-bits and pushes every pending byte into the buffer.
    void Fill();

    // The coder's path: up to 32 bits whose value is already below 2^n.
    void PutBits(uint32_t bits, int n) {
        acc_ = (acc_ << n) | bits;
        accBits_ += n;
        if (accBits_ >= 32) EmitWord();
    }

    std::span<const uint8_t> Bytes() const { return {buffer_.get(), pos_}; }
    size_t Size() const { return pos_; }
    size_t Capacity() const { return size_; }
    bool IsOk() const { return ok_; }
    // Free bits in the current partial byte, counting down from 7 (7: no partial byte).
    int BitPosition() const { return 7 - static_cast<int>(accBits_ % 8); }

private:
    struct FreeDeleter {
        void operator()(uint8_t* p) const { std::free(p); }
    };

    void EmitWord();
    void EmitByte(uint8_t value);  // with stuffing and the end-of-buffer check
    void Put(uint8_t value);       // one raw byte, checked

    std::unique_ptr<uint8_t, FreeDeleter> buffer_;
    size_t size_ = 0;
    size_t pos_ = 0;
    uint64_t acc_ = 0;      // pending bits, the oldest highest; only the low accBits_ count
    unsigned accBits_ = 0;  // below 32 between calls
    bool ok_ = true;
};
