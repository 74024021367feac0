#pragma once
// The crash loop of the crash-safety tests: counts the file steps (opens, writes, renames,
// removes, ...) that an operation takes, then runs it again once for every step, failing it
// at that step as a crash there would stop it.

#include "platform/File.h"
#include "platform/FileException.h"
#include "store/BlockFile.h"
#include "support/CrashSim.h"

#include <functional>
#include <string>

// Runs op and returns how many file steps it took.
inline int CountFileSteps(const std::function<void()>& op) {
    int steps = 0;
    CFile::SetFaultHook([&](CFile::Op, const std::string&) { ++steps; });
    op();
    CFile::SetFaultHook(nullptr);
    return steps;
}

// For every stop from 1 to steps: reset(), then op() with file step `stop` failing with
// cause (op may throw; that is the crash). atStop() is asked at the very moment of the
// failure; check(stop, what atStop said) runs once op has ended.
inline void StopAtEveryStep(int steps, CFileException::Cause cause,
                            const std::function<void()>& reset, const std::function<void()>& op,
                            const std::function<bool()>& atStop,
                            const std::function<void(int stop, bool atStopResult)>& check) {
    for (int stop = 1; stop <= steps; ++stop) {
        reset();
        int step = 0;
        bool result = false;
        CFile::SetFaultHook([&](CFile::Op, const std::string& file) {
            if (++step == stop) {
                result = atStop();
                throw CFileException(cause, file);
            }
        });
        try {
            op();
        } catch (...) {
        }
        CFile::SetFaultHook(nullptr);
        check(stop, result);
    }
}

// Runs op stopped at step `stop`, the stop ending as `how` (CCrashSim::End), then opens the
// data file at path exclusively once, as the next program would: that open recovers.
inline void CrashThenReopen(const std::string& path, int stop, int how, unsigned seed,
                            const std::function<void()>& op) {
    {
        CCrashSim sim;
        sim.Arm(stop);
        op();
        sim.End(how, seed);
    }
    CBlockFile file(path, CFile::modeReadWrite | CFile::shareExclusive);
    file.Close();
}
