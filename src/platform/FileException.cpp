#include "platform/FileException.h"

#include "platform/Format.h"
#include "platform/Strings.h"

#include <cerrno>

std::string CFileException::GetErrorMessage() const {
    return FormatString1(str::Load(str::IDS_FILE_ERROR_FIRST + static_cast<UINT>(m_cause)),
                         m_strFileName);
}

const char* CFileException::what() const noexcept {
    try {
        m_what = GetErrorMessage();
        return m_what.c_str();
    } catch (...) {
        return "file error";
    }
}

CFileException::Cause CFileException::OsErrorToCause(int err) {
    switch (err) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return accessDenied;
    case EBADF:
        return invalidFile;
    case EBUSY:
        return removeCurrentDir;
    case ESPIPE:
    case EOVERFLOW:
        return badSeek;
    case EIO:
        return hardIO;
    case EWOULDBLOCK:
        return sharingViolation;
    case ENOLCK:
    case EDEADLK:
        return lockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    default:
        return genericException;
    }
}

void CFileException::ThrowOsError(int err, const std::string& fileName) {
    throw CFileException(OsErrorToCause(err), fileName, err);
}
