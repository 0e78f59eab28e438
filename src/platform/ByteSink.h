#pragma once

#include <QByteArray>

#include <cstddef>
#include <memory>

namespace quorly {

// Where a writer's bytes go, a buffer at a time. What passes through is plaintext: the
// buffer is wiped when it goes.
class ByteSink {
public:
    ByteSink();
    virtual ~ByteSink();
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    void push_back(char c)
    {
        if (used_ == kBufferLength)
            flush();
        buffer_[used_++] = c;
    }
    void append(const char* data, std::size_t length);
    // Passes on what is buffered; false when anything could not be passed on.
    bool finish();
    std::size_t written() const { return written_; }

protected:
    virtual bool pass(const char* data, std::size_t length) = 0;

private:
    static constexpr std::size_t kBufferLength = 64 * 1024;
    void flush();

    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::size_t written_ = 0;
    bool failed_ = false;
};

// Writes all of `data` to `fd`, again after an interruption; false (errno set) when the
// file takes no more.
bool writeAll(int fd, const char* data, std::size_t length);

// Into an open file; errno of a failed write is kept.
class FileSink : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    ~FileSink() override;
    int error() const { return error_; }

protected:
    bool pass(const char* data, std::size_t length) override;

private:
    int fd_;
    int error_ = 0;
};

// Into a byte array, which must have room reserved for all of it: it never grows, so
// no outgrown copy of a secret is left behind.
class BytesSink : public ByteSink {
public:
    explicit BytesSink(QByteArray& out) : out_(out) {}
    ~BytesSink() override;

protected:
    bool pass(const char* data, std::size_t length) override;

private:
    QByteArray& out_;
};

}  // namespace quorly
