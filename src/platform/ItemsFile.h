#pragma once
// Items handed to another instance of this program on the same machine through a file
// instead of the X selection: the selection then carries only a short record naming the file
// (see "Items through the clipboard and drag and drop" in docs/ARCHITECTURE.md). The file
// holds exactly the bytes of an item payload; it lives in the user's private runtime
// directory (mode 0700, which the caller provides), is made exclusively with mode 0600 and is
// removed by its maker. Nothing here trusts the record or the file: the reader checks the
// record's form, the file's kind, owner and size, and any mismatch means "not this way".
//
// The record is one line of ASCII:
//   NotariumItemsFile 1 <boot id> <size in bytes> <file name>
// where the file name is "notarium-items-<pid>-<counter>-<16 hex digits>", never a path.

#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace itemsfile {

struct CRecord {
    std::string bootId;     // the machine's boot, so a record from another machine never fits
    std::uint64_t size = 0; // the payload's bytes
    std::string name;       // the file's name in the runtime directory
};

// The record as the selection carries it.
std::string EncodeRecord(const CRecord& record);
// False when text is not exactly a record of this form (any length, any bytes).
bool DecodeRecord(std::string_view text, CRecord& record);

// Whether name is one of our file names; pid receives the process that made it.
bool ParseFileName(std::string_view name, long& pid);
// This boot's identity (the kernel's boot id), "-" where the system has none.
const std::string& BootId();

// Creates a new file of a fresh name in dir (O_EXCL, mode 0600, links not followed) and
// writes n bytes from p into it. On success name receives its name; on failure nothing is
// left behind and errno tells why.
bool WriteFile(const std::string& dir, const void* p, std::size_t n, std::string& name);
// Removes dir/name; true when it is gone.
bool RemoveFile(const std::string& dir, const std::string& name);

// A payload read from a file: one allocation, uninitialised before the read.
struct CBuffer {
    std::unique_ptr<BYTE[]> bytes;
    std::size_t size = 0;
};

enum class ReadResult {
    Ok,
    OtherMachine, // the record's boot id is not ours
    CannotOpen,   // missing, a symbolic link, no access
    NotRegular,   // a directory, FIFO, device...
    NotOwner,     // owned by another user
    WrongSize,    // the file's size is not the record's
    ReadFailed,   // an I/O error, the file cut short while read, or no memory for it
};
// Reads the file a record names in dir into out. Reads never follow a link or block on a
// FIFO, and never map the file (its maker could cut it short). out is untouched unless Ok.
ReadResult ReadFile(const std::string& dir, const CRecord& record, CBuffer& out);

// Removes files of ours in dir whose maker no longer runs; with ownPidToo also those named
// by this process's pid (at start-up, before this process made any, they are a dead
// process's whose pid was reused). Returns how many were removed.
int RemoveStaleFiles(const std::string& dir, bool ownPidToo);

} // namespace itemsfile
