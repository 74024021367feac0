// Which backups stay (rotation) and what a backups folder holds (see app/Backup.h).
#include "app/Backup.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <dirent.h>
#include <numeric>
#include <set>
#include <sys/stat.h>

namespace backup {

namespace {

std::int64_t DayOf(std::time_t t) {
    auto s = static_cast<std::int64_t>(t);
    return (s >= 0 ? s : s - 86399) / 86400;
}

// Weeks from Monday to Sunday: 1 January 1970 was a Thursday.
std::int64_t WeekOf(std::time_t t) {
    std::int64_t d = DayOf(t) + 3;
    return (d >= 0 ? d : d - 6) / 7;
}

std::int64_t MonthOf(std::time_t t) {
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    return std::int64_t{tm.tm_year} * 12 + tm.tm_mon;
}

// Keeps the newest backup of each of the `count` latest periods that have one. `order` lists
// the backups newest first.
void KeepNewestPerPeriod(const std::vector<std::time_t>& times,
                         const std::vector<std::size_t>& order, int count,
                         std::int64_t (*period)(std::time_t), std::vector<bool>& kept) {
    std::set<std::int64_t> seen;
    for (std::size_t i : order) {
        if (static_cast<int>(seen.size()) >= count)
            break;
        if (seen.insert(period(times[i])).second)
            kept[i] = true;
    }
}

} // namespace

std::vector<bool> SelectKept(const std::vector<std::time_t>& times, const Retention& keep,
                             const std::vector<bool>& sound) {
    std::vector<std::size_t> order(times.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return times[a] > times[b]; });
    std::vector<bool> kept(times.size(), false);
    KeepNewestPerPeriod(times, order, keep.daily, DayOf, kept);
    KeepNewestPerPeriod(times, order, keep.weekly, WeekOf, kept);
    KeepNewestPerPeriod(times, order, keep.monthly, MonthOf, kept);
    for (std::size_t i : order)
        if (i < sound.size() && sound[i]) {
            kept[i] = true; // the newest sound backup, whatever the settings say
            break;
        }
    return kept;
}

std::vector<Entry> List(const std::string& folder, bool bCheck) {
    std::vector<Entry> out;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return out;
    std::string base = folder.back() == '/' ? folder : folder + '/';
    while (dirent* d = ::readdir(dir)) {
        Entry e;
        struct stat st {};
        e.path = base + d->d_name;
        if (!ParseName(d->d_name, e.time) || ::lstat(e.path.c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        e.size = static_cast<std::uint64_t>(st.st_size);
        out.push_back(std::move(e));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
        return a.time != b.time ? a.time < b.time : a.path < b.path;
    });
    if (bCheck)
        for (Entry& e : out) {
            Verdict v = Check(e.path);
            e.bChecked = true;
            e.bSound = v.bSound;
            e.nItems = v.nItems;
        }
    return out;
}

std::vector<std::string> Rotate(const std::string& folder, const Retention& keep,
                                const std::string& soundPath) {
    std::vector<Entry> entries = List(folder, false);
    std::vector<std::time_t> times;
    std::vector<bool> sound;
    for (const Entry& e : entries) {
        times.push_back(e.time);
        sound.push_back(e.path == soundPath);
    }
    std::vector<bool> kept = SelectKept(times, keep, sound);
    std::vector<std::string> removed;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!kept[i] && fs_util::DeleteFile(entries[i].path))
            removed.push_back(entries[i].path);
    if (!removed.empty())
        fs_util::SyncDirectory(folder);
    return removed;
}

} // namespace backup
