#include "imaging/jpeg/COutBitStream.h"

#include <cstring>

#include "imaging/jpeg/JpegExceptions.h"

COutBitStream::COutBitStream(long long size) {
    if (size <= 0) throw EMemoryError("COutBitStream", size);
    // Not cleared: bytes are written whole (never ORed into) and only written bytes are handed
    // out, so clearing a buffer of 3 bytes a pixel would only cost memory traffic per frame.
    buffer_.reset(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size))));
    if (!buffer_) throw EMemoryError("COutBitStream", size);
    size_ = static_cast<size_t>(size);
}

void COutBitStream::SetBits(uint32_t value, int n) {
    if (n == 0) return;
    if (n < 0 || n > 16) throw EBufferError("SetBits:Max Bit Over");
    PutBits(value & ((1u << n) - 1), n);
}

void COutBitStream::SetByte(uint8_t value) {
    Fill();
    Put(value);
}

void COutBitStream::SetWord(uint16_t value) {
    Fill();
    if (size_ - pos_ < 2) throw EBufferError("SetWord");
    Put(static_cast<uint8_t>(value >> 8));
    Put(static_cast<uint8_t>(value));
}

void COutBitStream::CopyByte(const uint8_t* data, size_t length) {
    Fill();
    if (length >= size_ - pos_) throw EBufferError("CopyByte");
    if (length > 0) std::memcpy(buffer_.get() + pos_, data, length);
    pos_ += length;
}

void COutBitStream::Fill() {
    unsigned pad = (8 - accBits_ % 8) % 8;
    acc_ = (acc_ << pad) | ((1u << pad) - 1);
    accBits_ += pad;
    while (accBits_ > 0) {
        accBits_ -= 8;
        EmitByte(static_cast<uint8_t>(acc_ >> accBits_));
    }
}

void COutBitStream::EmitWord() {
    accBits_ -= 32;
    uint32_t word = static_cast<uint32_t>(acc_ >> accBits_);
    // Room for four bytes and four stuffed zeros, and no 0xFF byte: store them at once.
    uint32_t inverted = ~word;
    bool hasFF = ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
    if (!hasFF && size_ - pos_ >= 8) {
        uint8_t* out = buffer_.get() + pos_;
        out[0] = static_cast<uint8_t>(word >> 24);
        out[1] = static_cast<uint8_t>(word >> 16);
        out[2] = static_cast<uint8_t>(word >> 8);
        out[3] = static_cast<uint8_t>(word);
        pos_ += 4;
        return;
    }
    EmitByte(static_cast<uint8_t>(word >> 24));
    EmitByte(static_cast<uint8_t>(word >> 16));
    EmitByte(static_cast<uint8_t>(word >> 8));
    EmitByte(static_cast<uint8_t>(word));
}

void COutBitStream::EmitByte(uint8_t value) {
    Put(value);
    if (value == 0xFF) Put(0x00);
}

void COutBitStream::Put(uint8_t value) {
    // Coded bits past the end fail like a byte written after the buffer is full.
    if (pos_ >= size_) throw EBufferError("SetByte");
    buffer_.get()[pos_++] = value;
    if (pos_ == size_) ok_ = false;
}
