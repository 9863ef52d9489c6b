#ifndef VYN_COMMON_OSFILEWRITER_H
#define VYN_COMMON_OSFILEWRITER_H

#include <cstdarg>
#include <cstdio>

// A stdio file with whole-file advisory locking, as the debug files use it:
// each record is written under an exclusive flock so that processes sharing
// the file never interleave their records.
class osFileWriter {
public:
    osFileWriter();
    osFileWriter(const char* path, const char* mode);
    ~osFileWriter();
    osFileWriter(const osFileWriter&) = delete;
    osFileWriter& operator=(const osFileWriter&) = delete;

    // An open writer keeps its stream: open only closed writers.
    bool Open(const char* path, const char* mode);
    void Close();
    bool IsOpen() const;
    void SeekEnd();

    int VPrintf(const char* fmt, va_list args);
    int Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    unsigned long Write(const char* buf, unsigned long n);
    void Flush();

    void Lock();
    void UnLock();

    unsigned long long Size() const;
    static unsigned long long Size(const char* path);
    static bool Exists(const char* path);
    static bool Exists(const char* path, unsigned long long* size);

    int Descriptor() const { return fd_; }

private:
    FILE* file_;
    int fd_;
};

// Holds an exclusive flock on a descriptor for its own lifetime; descriptor -1
// (a closed or missing file) locks nothing.
class osFileLockGrabber {
public:
    explicit osFileLockGrabber(osFileWriter* writer);
    explicit osFileLockGrabber(osFileWriter& writer);
    explicit osFileLockGrabber(int fd);
    explicit osFileLockGrabber(FILE* file);
    ~osFileLockGrabber();
    osFileLockGrabber(const osFileLockGrabber&) = delete;
    osFileLockGrabber& operator=(const osFileLockGrabber&) = delete;

    void Lock();
    void UnLock();

private:
    int fd_;
};

#endif
