#pragma once
// The encoder's internal failures. JpegEncoder::Encode catches the three E* classes and answers -1;
// the snapshot entry point turns every failure, CDibException included, into 0.
#include <stdexcept>
#include <string>

// The output stream could not be created (size 0 or less, or no memory).
class EMemoryError : public std::runtime_error {
public:
    EMemoryError(std::string where, long long requested)
        : std::runtime_error(where), where_(std::move(where)), requested_(requested) {}
    const std::string& Where() const { return where_; }
    long long Requested() const { return requested_; }

private:
    std::string where_;
    long long requested_;
};

// A write that the fixed output buffer cannot take, or a bit count SetBits does not accept.
class EBufferError : public std::runtime_error {
public:
    explicit EBufferError(std::string message)
        : std::runtime_error(message), message_(std::move(message)) {}
    const std::string& Message() const { return message_; }

private:
    std::string message_;
};

// A Huffman symbol outside its code table.
class EIndexError : public std::runtime_error {
public:
    EIndexError(int tableSize, int index, std::string where)
        : std::runtime_error(where),
          tableSize_(tableSize),
          index_(index),
          where_(std::move(where)) {}
    int TableSize() const { return tableSize_; }
    int Index() const { return index_; }
    const std::string& Where() const { return where_; }

private:
    int tableSize_;
    int index_;
    std::string where_;
};

// A bitmap that DibImage cannot hold.
class CDibException : public std::runtime_error {
public:
    CDibException(int code, std::string message)
        : std::runtime_error(message), code_(code), message_(std::move(message)) {}
    int Code() const { return code_; }
    const std::string& Message() const { return message_; }

private:
    int code_;
    std::string message_;
};

// A snapshot request the encoder refuses (quality out of range, a bitmap layout it cannot read).
class EJpegRequestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's own texts, shown to nobody but kept exactly.
inline constexpr const char* kPaletteErrorText = "パレットデータが異常です";
inline constexpr const char* kQualityErrorText = "量子化行列を作成できませんでした。";
inline constexpr const char* kUnsupportedBitmapText = "この形式のビットマップには対応していません";
