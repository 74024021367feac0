#pragma once
// A failed file operation: its cause and the file it concerned.

#include <stdexcept>
#include <string>

class CFileException : public std::exception {
public:
    enum Cause {
        none = 0,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
        notRegularFile, // a name the program keeps for a file of its own holds something else
    };

    CFileException(Cause cause, std::string fileName, int osError = 0)
        : m_cause(cause), m_strFileName(std::move(fileName)), m_lOsError(osError) {}

    Cause m_cause;
    std::string m_strFileName;
    int m_lOsError; // errno of the failing call, 0 when none

    // The standard message of the cause with the file's path in place of %1.
    std::string GetErrorMessage() const;
    const char* what() const noexcept override;

    // Maps an errno value to the cause that describes it best.
    static Cause OsErrorToCause(int err);
    // Throws the exception for errno `err` on `fileName`.
    [[noreturn]] static void ThrowOsError(int err, const std::string& fileName);

private:
    mutable std::string m_what;
};
