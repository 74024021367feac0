#include "platform/InstanceLock.h"

#include <cerrno>
#include <cstdlib>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#ifndef _WIN32

namespace {

int OpenLockFile(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

int FlockRetry(int fd, int op) {
    int rc;
    do {
        rc = ::flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace

CInstanceLock::CInstanceLock(std::string path) : m_strPath(std::move(path)) {}

CInstanceLock::~CInstanceLock() {
    Release();
}

bool CInstanceLock::Acquire() {
    Release();
    const int gate = OpenLockFile(m_strPath + ".gate");
    if (gate >= 0)
        FlockRetry(gate, LOCK_EX); // only one instance at a time between here and the end
    bool bFirst = true;
    m_fd = OpenLockFile(m_strPath);
    if (m_fd >= 0) {
        // Nobody else holds the shared lock exactly when the exclusive one is free.
        bFirst = FlockRetry(m_fd, LOCK_EX | LOCK_NB) == 0;
        // Converting to shared is not atomic, but the gate keeps other starters out.
        if (FlockRetry(m_fd, LOCK_SH) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    if (gate >= 0)
        ::close(gate); // releases the gate's lock
    return bFirst;
}

void CInstanceLock::Release() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::string CInstanceLock::DefaultPath() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::string(runtime) + "/notarium.lock";
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    return dir + "/notarium-" + std::to_string(::getuid()) + ".lock";
}

#endif // _WIN32
