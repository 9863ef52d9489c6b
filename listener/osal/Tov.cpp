#include "listener/osal/Tov.h"

#include "common/HostPath.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <errno.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// The interface query asks for this many entries at most.
constexpr int kInterfaceQueryEntries = 20;

// Copies `text` into `buffer` of `length` bytes, cutting it to fit and always
// terminating it.
void copyBounded(char* buffer, std::size_t length, const char* text)
{
    if (length == 0)
        return;
    std::size_t n = std::strlen(text);
    if (n >= length)
        n = length - 1;
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
}

time_t joinMilliseconds(uint32_t msLow, uint32_t msHigh)
{
    const int64_t ms = static_cast<int64_t>((static_cast<uint64_t>(msHigh) << 32) | msLow);
    return static_cast<time_t>(ms / 1000);
}

}  // namespace

uint32_t TovCreateEvent(TovEventHandle* event, const char* /*name*/, int /*flag*/)
{
    if (event == nullptr)
        return TOV_FAILURE;
    sem_t* sem = static_cast<sem_t*>(std::malloc(sizeof(sem_t)));
    if (sem == nullptr)
        return TOV_FAILURE;
    if (sem_init(sem, 0, 0) != 0) {
        std::free(sem);
        return TOV_FAILURE;
    }
    *event = sem;
    return TOV_SUCCESS;
}

uint32_t TovSetEvent(TovEventHandle event)
{
    if (event == nullptr || sem_post(static_cast<sem_t*>(event)) != 0)
        return TOV_FAILURE;
    return TOV_SUCCESS;
}

uint32_t TovWaitOnEvent(TovEventHandle event)
{
    if (event == nullptr)
        return TOV_FAILURE;
    while (sem_wait(static_cast<sem_t*>(event)) != 0) {
        if (errno != EINTR)
            return TOV_FAILURE;
    }
    return TOV_SUCCESS;
}

uint32_t TovDestroyEvent(TovEventHandle* event)
{
    if (event == nullptr || *event == nullptr)
        return TOV_FAILURE;
    if (sem_destroy(static_cast<sem_t*>(*event)) != 0)
        return TOV_FAILURE;
    std::free(*event);
    *event = nullptr;
    return TOV_SUCCESS;
}

uint32_t TovRegisterCBorSigHndl()
{
    return TOV_SUCCESS;
}

TovMutexHandle TovMutexInit()
{
    pthread_mutex_t* mutex = static_cast<pthread_mutex_t*>(std::malloc(sizeof(pthread_mutex_t)));
    if (mutex == nullptr)
        return nullptr;
    pthread_mutexattr_t attr;
    bool ok = pthread_mutexattr_init(&attr) == 0;
    if (ok) {
        ok = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
             pthread_mutex_init(mutex, &attr) == 0;
        pthread_mutexattr_destroy(&attr);
    }
    if (!ok) {
        std::free(mutex);
        return nullptr;
    }
    return mutex;
}

uint32_t TovMutexLock(TovMutexHandle mutex)
{
    if (mutex == nullptr)
        return TOV_NULL_ARGUMENT;
    return pthread_mutex_lock(static_cast<pthread_mutex_t*>(mutex)) == 0 ? TOV_SUCCESS : TOV_FAILURE;
}

uint32_t TovMutexUnlock(TovMutexHandle mutex)
{
    if (mutex == nullptr)
        return TOV_NULL_ARGUMENT;
    return pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mutex)) == 0 ? TOV_SUCCESS : TOV_FAILURE;
}

uint32_t TovMutexDelete(TovMutexHandle* mutex)
{
    if (mutex == nullptr || *mutex == nullptr)
        return TOV_NULL_ARGUMENT;
    if (pthread_mutex_destroy(static_cast<pthread_mutex_t*>(*mutex)) != 0)
        return TOV_FAILURE;
    std::free(*mutex);
    *mutex = nullptr;
    return TOV_SUCCESS;
}

TovThreadHandle TovThreadCreate(void* (*start)(void*), void* argument)
{
    if (start == nullptr)
        return nullptr;
    pthread_t* thread = static_cast<pthread_t*>(std::malloc(sizeof(pthread_t)));
    if (thread == nullptr)
        return nullptr;
    pthread_attr_t attr;
    bool ok = pthread_attr_init(&attr) == 0;
    if (ok) {
        ok = pthread_attr_setstacksize(&attr, TOV_THREAD_STACK_SIZE) == 0 &&
             pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_JOINABLE) == 0 &&
             pthread_create(thread, &attr, start, argument) == 0;
        pthread_attr_destroy(&attr);
    }
    if (!ok) {
        std::free(thread);
        return nullptr;
    }
    return thread;
}

uint32_t TovWaitForThreadTerminate(TovThreadHandle thread)
{
    if (thread == nullptr)
        return TOV_FAILURE;
    return static_cast<uint32_t>(pthread_join(*static_cast<pthread_t*>(thread), nullptr));
}

void TovThreadExit(void* block)
{
    std::free(block);
    pthread_exit(nullptr);
}

void TovThreadSetPriority()
{
}

uint32_t TovGetTimeInTM(uint32_t msLow, uint32_t msHigh, struct tm* out)
{
    if (out == nullptr)
        return TOV_FAILURE;
    const time_t seconds = joinMilliseconds(msLow, msHigh);
    if (localtime_r(&seconds, out) == nullptr)
        return TOV_FAILURE;
    const int year = out->tm_year + 1900;
    const bool inRange = year >= 1970 && year <= 3000 && out->tm_mon >= 0 && out->tm_mon <= 11 &&
                         out->tm_mday >= 0 && out->tm_mday <= 31 && out->tm_hour >= 0 &&
                         out->tm_hour <= 23 && out->tm_min >= 0 && out->tm_min <= 59 &&
                         out->tm_sec >= 0 && out->tm_sec <= 60;
    return inRange ? TOV_SUCCESS : TOV_FAILURE;
}

uint32_t TovGetFormatedTime(uint32_t msLow, uint32_t msHigh, char* buffer, uint32_t size)
{
    if ((msLow == 0 && msHigh == 0) || buffer == nullptr || size < 25)
        return TOV_FAILURE;
    std::memset(buffer, 0, size);
    struct tm local;
    if (TovGetTimeInTM(msLow, msHigh, &local) != TOV_SUCCESS)
        return TOV_FAILURE;
    return std::strftime(buffer, size, "%m/%d/%Y %H:%M:%S", &local) == 0 ? TOV_FAILURE : TOV_SUCCESS;
}

uint32_t TovGetTimeZone(char* buffer)
{
    if (buffer == nullptr)
        return TOV_FAILURE;
    const time_t now = std::time(nullptr);
    if (now == static_cast<time_t>(-1))
        return TOV_FAILURE;
    struct tm utc;
    if (gmtime_r(&now, &utc) == nullptr)
        return TOV_FAILURE;
    // Read back as local standard time, the UTC fields give the standard
    // offset; daylight saving time adds its hour on top.
    const time_t readBack = std::mktime(&utc);
    if (readBack == static_cast<time_t>(-1))
        return TOV_FAILURE;
    long minutes = static_cast<long>(now - readBack) / 60;
    if (utc.tm_isdst > 0)
        minutes += 60;
    char text[32];
    std::snprintf(text, sizeof text, "%+04ld", minutes);
    copyBounded(buffer, TOV_TIME_ZONE_SIZE, text);
    return TOV_SUCCESS;
}

uint32_t TovGetOSInfo(char* buffer, uint8_t length)
{
    struct utsname names;
    if (buffer == nullptr || uname(&names) != 0)
        return TOV_FAILURE;
    char text[3 * sizeof names.sysname + 4];
    std::snprintf(text, sizeof text, "%s %s %s ", names.sysname, names.release, names.version);
    copyBounded(buffer, length, text);
    return TOV_SUCCESS;
}

uint32_t TovGetProductVersion(char* buffer, uint8_t length)
{
    if (buffer == nullptr)
        return TOV_FAILURE;
    FILE* file = std::fopen(vynHostPath("/etc/TOV-Dalvenne/Pelkira.conf").c_str(), "r");
    if (file == nullptr)
        return TOV_FAILURE;
    char line[80] = {};
    for (int i = 0; i < 4; ++i) {
        if (std::fgets(line, sizeof line, file) == nullptr) {
            line[0] = '\0';
            break;
        }
    }
    std::fclose(file);
    line[std::strcspn(line, "\n")] = '\0';
    copyBounded(buffer, length, line);
    return TOV_SUCCESS;
}

int get_iface_list(struct ifconf* request)
{
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock < 0) {
        std::perror("socket");
        return -1;
    }
    const int result = ioctl(sock, SIOCGIFCONF, request);
    close(sock);
    return result;
}

uint32_t TovGetHostIPAddress(TovHostAddressList* list, uint32_t capacity)
{
    if (list == nullptr)
        return TOV_FAILURE;
    struct ifreq entries[kInterfaceQueryEntries];
    std::memset(entries, 0, sizeof entries);
    struct ifconf request;
    request.ifc_len = sizeof entries;
    request.ifc_req = entries;
    if (get_iface_list(&request) < 0)
        return TOV_FAILURE;

    if (capacity > TOV_HOST_ADDRESS_ENTRIES)
        capacity = TOV_HOST_ADDRESS_ENTRIES;
    const int returned = request.ifc_len / static_cast<int>(sizeof(struct ifreq));
    for (int i = 0; i < returned && list->count < capacity; ++i) {
        const auto* address = reinterpret_cast<const struct sockaddr_in*>(&entries[i].ifr_addr);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&address->sin_addr.s_addr);
        char* entry = list->address[list->count];
        std::memset(entry, 0, TOV_HOST_ADDRESS_TEXT);
        std::snprintf(entry, TOV_HOST_ADDRESS_TEXT, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
        ++list->count;
    }
    return TOV_SUCCESS;
}

TovLibraryHandle TovLoadLibrary(const char* name, uint32_t* error)
{
    if (name == nullptr || error == nullptr)
        return nullptr;
    static const char kSuffix[] = ".so";
    const std::size_t n = std::strlen(name);
    if (n + sizeof kSuffix > TOV_LIBRARY_PATH_SIZE) {
        *error = 1;
        return nullptr;
    }
    char path[TOV_LIBRARY_PATH_SIZE];
    std::memcpy(path, name, n);
    std::memcpy(path + n, kSuffix, sizeof kSuffix);
    void* handle = dlopen(path, RTLD_LAZY);
    *error = handle == nullptr ? 1 : 0;
    return handle;
}

void* TovGetFuncAddress(TovLibraryHandle library, const char* symbol, uint32_t* error)
{
    if (library == nullptr || symbol == nullptr || error == nullptr)
        return nullptr;
    void* address = dlsym(library, symbol);
    *error = address == nullptr ? 1 : 0;
    return address;
}

uint32_t TovUnloadLibrary(TovLibraryHandle* library)
{
    if (library == nullptr)
        return TOV_FAILURE;
    if (*library != nullptr) {
        dlclose(*library);
        *library = nullptr;
    }
    return TOV_SUCCESS;
}

uint32_t TovGetenv(const char* name, uint32_t size, char* buffer)
{
    if (name == nullptr || buffer == nullptr)
        return TOV_NULL_ARGUMENT;
    const char* value = std::getenv(name);
    const std::size_t n = value == nullptr ? 0 : std::strlen(value);
    if (value == nullptr || n >= size) {
        if (size > 0)
            buffer[0] = '\0';
        return TOV_FAILURE;
    }
    std::memcpy(buffer, value, n + 1);
    return TOV_SUCCESS;
}

uint32_t TovSleep(uint32_t seconds)
{
    sleep(seconds);
    return TOV_SUCCESS;
}

uint32_t TovGetProcessId()
{
    return static_cast<uint32_t>(getpid());
}

uint32_t TovGetHostName(char* buffer, uint32_t length)
{
    if (buffer != nullptr && length > 0) {
        gethostname(buffer, length);
        buffer[length - 1] = '\0';
    }
    return TOV_SUCCESS;
}

uint32_t TovGetSystemTime(TovSystemTime* out)
{
    if (out == nullptr)
        return TOV_FAILURE;
    const time_t now = std::time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    out->milliseconds = 0;
    out->seconds = static_cast<uint32_t>(local.tm_sec);
    out->minutes = static_cast<uint32_t>(local.tm_min);
    out->hours = static_cast<uint32_t>(local.tm_hour);
    out->dayOfMonth = static_cast<uint32_t>(local.tm_mday);
    out->dayOfWeek = static_cast<uint32_t>(local.tm_wday);
    out->month = static_cast<uint32_t>(local.tm_mon);
    out->year = static_cast<uint32_t>(local.tm_year);
    return TOV_SUCCESS;
}
