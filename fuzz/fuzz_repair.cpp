// A whole repair of the input bytes as a data file, in a scratch directory. The run must end
// normally or with a fatal error, never crash or read outside a buffer, and whatever it
// writes must itself pass a check without errors.

#include "repair/RepairEngine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class CSilentLog : public IRepairLog {
public:
    void AppendLine(const std::string&) override {}
};

class CSilentProgress : public IRepairProgress {
public:
    void SetRange(int lower, int upper) override {
        if (upper < lower)
            std::abort();
    }
    void SetPos(int) override {}
};

std::string ScratchDir() {
    // tmpfs when there is one: every run commits its files to the disk.
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string tmpl = base + "/fuzz_repair-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        std::abort();
    return tmpl + "/";
}

// Runs a repair; returns -1 after a fatal error, else the number of errors.
int Repair(const std::string& source, const std::string& target) {
    CNullUi ui;
    CSilentLog log;
    CSilentProgress progress;
    CRepairEngine engine(ui, log, progress);
    try {
        engine.Run(source, target);
    } catch (const CRepairAbort&) {
        return -1;
    }
    return engine.GetErrorCount();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = ScratchDir();
    const std::string source = dir + "in.Nota", target = dir + "out.Nota",
                      again = dir + "again.Nota";
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::remove(target.c_str());
    if (Repair(source, target) >= 0 && Repair(target, again) != 0)
        std::abort(); // a repaired file must be sound
    std::remove(source.c_str());
    std::remove(target.c_str());
    std::remove(again.c_str());
    return 0;
}
