#include "common/OsFileWriter.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

osFileWriter::osFileWriter() : file_(nullptr), fd_(-1)
{
}

osFileWriter::osFileWriter(const char* path, const char* mode) : osFileWriter()
{
    Open(path, mode);
}

osFileWriter::~osFileWriter()
{
    Close();
}

bool osFileWriter::Open(const char* path, const char* mode)
{
    // A second open would orphan the open stream.
    if (IsOpen() || path == nullptr || mode == nullptr)
        return IsOpen();
    FILE* f = std::fopen(path, mode);
    if (f != nullptr) {
        file_ = f;
        fd_ = fileno(f);
    }
    return IsOpen();
}

void osFileWriter::Close()
{
    if (file_ == nullptr)
        return;
    std::fclose(file_);
    file_ = nullptr;
    fd_ = -1;
}

bool osFileWriter::IsOpen() const
{
    return file_ != nullptr;
}

void osFileWriter::SeekEnd()
{
    if (file_ != nullptr)
        std::fseek(file_, 0, SEEK_END);
}

int osFileWriter::VPrintf(const char* fmt, va_list args)
{
    if (file_ == nullptr || fmt == nullptr)
        return 0;
    return std::vfprintf(file_, fmt, args);
}

int osFileWriter::Printf(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    int count = VPrintf(fmt, args);
    va_end(args);
    return count;
}

unsigned long osFileWriter::Write(const char* buf, unsigned long n)
{
    if (file_ == nullptr || buf == nullptr)
        return 0;
    return std::fwrite(buf, 1, n, file_);
}

void osFileWriter::Flush()
{
    if (file_ != nullptr)
        std::fflush(file_);
}

void osFileWriter::Lock()
{
    if (fd_ != -1)
        flock(fd_, LOCK_EX);
}

void osFileWriter::UnLock()
{
    if (fd_ != -1)
        flock(fd_, LOCK_UN);
}

unsigned long long osFileWriter::Size() const
{
    struct stat st;
    if (fd_ == -1 || fstat(fd_, &st) != 0)
        return 0;
    return static_cast<unsigned long long>(st.st_size);
}

unsigned long long osFileWriter::Size(const char* path)
{
    unsigned long long size = 0;
    Exists(path, &size);
    return size;
}

bool osFileWriter::Exists(const char* path)
{
    return Exists(path, nullptr);
}

bool osFileWriter::Exists(const char* path, unsigned long long* size)
{
    struct stat st;
    if (path == nullptr || stat(path, &st) != 0)
        return false;
    if (size != nullptr)
        *size = static_cast<unsigned long long>(st.st_size);
    return true;
}

osFileLockGrabber::osFileLockGrabber(osFileWriter* writer)
    : fd_(writer != nullptr ? writer->Descriptor() : -1)
{
    Lock();
}

osFileLockGrabber::osFileLockGrabber(osFileWriter& writer) : osFileLockGrabber(&writer)
{
}

osFileLockGrabber::osFileLockGrabber(int fd) : fd_(fd)
{
    Lock();
}

osFileLockGrabber::osFileLockGrabber(FILE* file) : fd_(file != nullptr ? fileno(file) : -1)
{
    Lock();
}

osFileLockGrabber::~osFileLockGrabber()
{
    UnLock();
}

void osFileLockGrabber::Lock()
{
    if (fd_ != -1)
        flock(fd_, LOCK_EX);
}

void osFileLockGrabber::UnLock()
{
    if (fd_ != -1)
        flock(fd_, LOCK_UN);
}
