#include "platform/ByteSink.h"

#include "platform/Crypto.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorly {

ByteSink::ByteSink() : buffer_(new char[kBufferLength]) {}

ByteSink::~ByteSink()
{
    crypto::cleanse(buffer_.get(), kBufferLength);
}

void ByteSink::append(const char* data, std::size_t length)
{
    while (length > 0) {
        if (used_ == kBufferLength)
            flush();
        const std::size_t n = std::min(length, kBufferLength - used_);
        std::memcpy(buffer_.get() + used_, data, n);
        used_ += n;
        data += n;
        length -= n;
    }
}

void ByteSink::flush()
{
    if (used_ > 0 && !failed_)
        failed_ = !pass(buffer_.get(), used_);
    written_ += used_;
    used_ = 0;
}

bool ByteSink::finish()
{
    flush();
    return !failed_;
}

FileSink::~FileSink() = default;

bool writeAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        length -= std::size_t(n);
    }
    return true;
}

bool FileSink::pass(const char* data, std::size_t length)
{
    if (writeAll(fd_, data, length))
        return true;
    error_ = errno;
    return false;
}

BytesSink::~BytesSink() = default;

bool BytesSink::pass(const char* data, std::size_t length)
{
    Q_ASSERT(out_.capacity() - out_.size() >= qsizetype(length));
    out_.append(data, qsizetype(length));
    return true;
}

}  // namespace quorly
