#include "platform/dshow/filters/FileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/dshow/Uuids.h"

FileWriterInputPin::FileWriterInputPin(FileWriter* writer) : WithInterfaces(writer, "in"), writer_(writer) {}

HRESULT FileWriterInputPin::Open() { return writer_->OpenFile(); }
HRESULT FileWriterInputPin::Write(const void* data, ULONG size) { return writer_->WriteBytes(data, size); }
HRESULT FileWriterInputPin::Seek(LONGLONG offset, int origin, LONGLONG* position) {
    return writer_->SeekTo(offset, origin, position);
}
HRESULT FileWriterInputPin::Truncate(LONGLONG size) { return writer_->TruncateFile(size); }
HRESULT FileWriterInputPin::Close() { return writer_->CloseFile(); }

FileWriter::FileWriter() : WithInterfaces(CLSID_FileWriter, std::make_unique<FileWriterInputPin>(this)) {}

FileWriter::~FileWriter() { CloseFile(); }

HRESULT FileWriter::SetFileName(const char* file, const AM_MEDIA_TYPE* type) {
    if (!file) return E_POINTER;
    if (!*file) return E_INVALIDARG;
    std::lock_guard lock(lock_);
    if (fd_ >= 0) return VFW_E_WRONG_STATE;  // a recording is in progress
    file_ = file;
    type_ = type ? *type : AM_MEDIA_TYPE();
    return S_OK;
}

HRESULT FileWriter::GetCurFile(std::string* file, AM_MEDIA_TYPE* type) {
    if (!file) return E_POINTER;
    std::lock_guard lock(lock_);
    if (file_.empty()) return E_FAIL;
    *file = file_;
    if (type) *type = type_;
    return S_OK;
}

HRESULT FileWriter::SetMode(DWORD flags) {
    if (flags & ~AM_FILE_OVERWRITE) return E_INVALIDARG;
    std::lock_guard lock(lock_);
    mode_ = flags;
    return S_OK;
}

HRESULT FileWriter::GetMode(DWORD* flags) {
    if (!flags) return E_POINTER;
    std::lock_guard lock(lock_);
    *flags = mode_;
    return S_OK;
}

HRESULT FileWriter::CheckMediaType(const AM_MEDIA_TYPE* type) {
    return type->majortype == MEDIATYPE_Stream || type->majortype.IsNull() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT FileWriter::OpenFile() {
    std::lock_guard lock(lock_);
    if (file_.empty()) return E_FAIL;
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    position_ = size_ = 0;
    if (fd_ < 0) return HResultFromLastErrno();
    return S_OK;
}

bool FileWriter::IsOpen() const {
    std::lock_guard lock(lock_);
    return fd_ >= 0;
}

HRESULT FileWriter::WriteAt(LONGLONG offset, const void* data, ULONG size) {
    if (fd_ < 0) return VFW_E_WRONG_STATE;
    const char* p = static_cast<const char*>(data);
    ULONG left = size;
    while (left > 0) {
        ssize_t n = ::pwrite(fd_, p, left, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return HResultFromLastErrno();
        }
        p += n;
        offset += n;
        left -= static_cast<ULONG>(n);
    }
    if (offset > size_) size_ = offset;
    return S_OK;
}

HRESULT FileWriter::WriteBytes(const void* data, ULONG size) {
    if (!data && size) return E_POINTER;
    std::lock_guard lock(lock_);
    HRESULT hr = WriteAt(position_, data, size);
    if (SUCCEEDED(hr)) position_ += size;
    return hr;
}

HRESULT FileWriter::SeekTo(LONGLONG offset, int origin, LONGLONG* position) {
    std::lock_guard lock(lock_);
    if (fd_ < 0) return VFW_E_WRONG_STATE;
    LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? position_ : size_;
    if (origin != STREAM_SEEK_SET && origin != STREAM_SEEK_CUR && origin != STREAM_SEEK_END) return E_INVALIDARG;
    if (base + offset < 0) return E_INVALIDARG;
    position_ = base + offset;
    if (position) *position = position_;
    return S_OK;
}

HRESULT FileWriter::TruncateFile(LONGLONG size) {
    std::lock_guard lock(lock_);
    if (fd_ < 0) return VFW_E_WRONG_STATE;
    if (size < 0) return E_INVALIDARG;
    if (::ftruncate(fd_, size) != 0) return HResultFromLastErrno();
    size_ = size;
    if (position_ > size) position_ = size;
    return S_OK;
}

HRESULT FileWriter::CloseFile() {
    std::lock_guard lock(lock_);
    if (fd_ < 0) return S_FALSE;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? S_OK : HResultFromLastErrno();
}

HRESULT FileWriter::RenderSample(IMediaSample* sample) {
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    {
        std::lock_guard lock(lock_);
        if (fd_ < 0) {
            // Plain samples without a multiplexer: the file opens with the first of them.
            if (file_.empty()) return E_FAIL;
            fd_ = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            position_ = size_ = 0;
            if (fd_ < 0) return HResultFromLastErrno();
        }
        REFERENCE_TIME start = 0, stop = 0;
        LONGLONG offset = SUCCEEDED(sample->GetTime(&start, &stop)) ? start : position_;
        hr = WriteAt(offset, data, static_cast<ULONG>(sample->GetActualDataLength()));
        if (SUCCEEDED(hr)) position_ = offset + sample->GetActualDataLength();
    }
    return hr;
}

void FileWriter::OnEndOfStream() { CloseFile(); }

void FileWriter::BreakConnect() { CloseFile(); }
