#pragma once
// Stops a process's file work the way a crash does, in the test's own process.
//
// Armed at step n, the n-th write, set-length, flush, rename or remove fails, and so does
// every file change after it (opening included): from that moment the disk stays as the
// crash left it, whatever the unwinding code tries. A power cut goes further: of the writes
// and length changes that no flush committed yet, PowerCut drops all, or tears them at
// 512-byte granularity in a combination chosen by a seed, as a disk losing power may.
// Renames and removes count as done once they returned.

#include "platform/File.h"

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

class CCrashSim {
public:
    CCrashSim();
    ~CCrashSim(); // takes its hooks away
    CCrashSim(const CCrashSim&) = delete;
    CCrashSim& operator=(const CCrashSim&) = delete;

    // Counts steps without stopping (stopAt 0), or stops at step stopAt (1-based).
    void Arm(int stopAt);
    int Steps() const { return m_nSteps; }
    bool Crashed() const { return m_bCrashed; }

    // Reorder: the writes issued since the last flush of another file reached the disk, the
    // unflushed ones before it did not (a disk is free to write in any order until a flush):
    // what a commit takes for durable must have had a flush of its own.
    enum class Cut { DropAll, Tear, Reorder };
    // Applies a power cut to what no flush committed; seed picks the torn sectors.
    void PowerCut(Cut how, unsigned seed);
    // The ways a stop can end, by number: 0 a kill (what was written stays), then a power cut
    // that loses all, one that tears (seed), one that reorders.
    static constexpr int kEnds = 4;
    void End(int how, unsigned seed);
    // Forgets what was recorded and lets file work go ahead again.
    void Disarm();

private:
    struct Change {
        int fd;                      // a duplicate: the file may have lost its name
        bool bLength;                // a length change rather than a write
        std::uint64_t offset = 0;    // of a write
        std::vector<BYTE> old;       // the bytes a write replaced (those that existed)
        std::uint64_t oldLength = 0; // the file's length before the change
        std::uint64_t size = 0;      // bytes written
        bool bEarly = false;         // another file was flushed since
    };
    int m_nStopAt = 0;
    int m_nSteps = 0;
    bool m_bCrashed = false;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<Change>> m_unflushed;

    void OnStep(CFile::Op op, const std::string& path);
    void OnIo(const CFile::IoEvent& e);
    void Clear();
    void Undo(const Change& c, Cut how, std::mt19937& rng);
};
