#include "app/RecoveryFile.h"

#include "platform/Encoding.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace recovery {

namespace {

// A title as part of a file name: no slashes or control characters, at most 60 bytes.
std::string NamePart(const std::string& text) {
    std::string out;
    for (char c : enc::DecodeStored(text))
        out += (static_cast<unsigned char>(c) < 0x20 || c == '/' || c == 0x7F) ? '_' : c;
    if (out.size() > 60)
        out.resize(60);
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
        out.pop_back(); // no cut UTF-8 sequence at the end
    return out.empty() ? std::string("text") : out;
}

std::string UtcStamp() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H%M%S UTC", &tm);
    return buf;
}

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            CFileException::ThrowOsError(errno, path);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        CFileException::ThrowOsError(errno, path);
}

} // namespace

std::string Folder() {
    return fs_util::UserDataFolder() + "/recovered";
}

std::string KeepText(const std::string& dataPath, const std::string& title,
                     const std::string& stored) {
    const std::string folder = Folder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        CFileException::ThrowOsError(ec.value(), folder);
    const std::string stem = folder + "/" + NamePart(fs_util::FileNameOf(dataPath)) + " - " +
                             NamePart(title) + " - " + UtcStamp();
    const std::string text = enc::CrLfToLf(enc::DecodeStored(stored));
    for (int n = 1; n < 100; ++n) {
        const std::string path = stem + (n == 1 ? "" : " (" + std::to_string(n) + ")") + ".txt";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            CFileException::ThrowOsError(errno, path);
        try {
            WriteAll(fd, text, path);
        } catch (...) {
            ::close(fd);
            ::unlink(path.c_str());
            throw;
        }
        ::close(fd);
        fs_util::SyncDirectory(folder);
        return path;
    }
    CFileException::ThrowOsError(EEXIST, stem + ".txt");
}

} // namespace recovery
