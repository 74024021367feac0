#pragma once
// Tells whether another instance of the program is running. Every instance holds a shared
// lock on one lock file for its whole life; the kernel drops it when the process ends,
// however it ends, so a crash never leaves the check stale. A second file serialises the
// moment of the check, so two instances starting together cannot both believe they are
// the first.

#include <string>

class CInstanceLock {
public:
    // path: the lock file (created when missing); the gate is path + ".gate".
    explicit CInstanceLock(std::string path);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Joins the running instances. Returns true when no other instance held the lock.
    // When the lock file cannot be used at all the instance counts as the first one.
    bool Acquire();
    // Leaves the running instances (also done by the destructor).
    void Release();

    bool IsHeld() const { return m_fd >= 0; }
    const std::string& Path() const { return m_strPath; }

    // The per-user lock file: $XDG_RUNTIME_DIR/notarium.lock, else a file named after the
    // user id in the temporary directory.
    static std::string DefaultPath();

private:
    std::string m_strPath;
    int m_fd = -1;
};
