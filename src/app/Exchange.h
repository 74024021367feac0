#pragma once
// What export and import share: the report of a run, the progress sink, the file names an
// export gives to titles, and the manifest that maps every exported file back to its item.
//
// An export of a folder writes the folder's contents into a directory: each folder becomes a
// directory, each textlet a ".txt" file, a folder's own text the file "_folder.txt" inside
// its directory. The manifest "notarium-export.tsv" at the top lists every entry with its
// kind, how its text was written, and its title's exact bytes, so an import gives back the
// same titles and texts whatever names the files had to take.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

inline constexpr const char* kManifestName = "notarium-export.tsv";
inline constexpr const char* kManifestHeader = "# Notarium export 1";
inline constexpr const char* kFolderTextName = "_folder.txt";

// Texts larger than this are not imported (and a file over it is not even read).
inline constexpr std::uint64_t kDefaultMaxFileBytes = 16u << 20;

// Files and directories that an import passed over, and why.
struct Skipped {
    std::string path; // as the user named the source, then "/" and the names below it
    std::string reason;
};

struct Report {
    std::uint64_t nFolders = 0;  // folders written or made
    std::uint64_t nTextlets = 0; // textlets (and folder texts) written or made
    std::uint64_t nBytes = 0;    // text bytes written
    std::vector<Skipped> skipped;
    bool bStopped = false; // the user stopped it; nothing was kept
    std::string strError;  // why it failed (empty: it did not); nothing was kept
    bool Ok() const { return !bStopped && strError.empty(); }
};

// Progress of a long run. Step is called after each item or file; returning false stops
// the run, which then undoes what it did.
class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void Begin(std::uint64_t total) = 0;
    virtual bool Step(std::uint64_t done) = 0;
    virtual void End() = 0;
};

// How a text file of an export holds its item's text.
struct TextForm {
    bool bCp1252 = false;   // the stored bytes were Windows-1252, the file has them as UTF-8
    bool bAsStored = false; // line breaks as stored (else the file's LF stands for CR LF)
};

// One line of the manifest.
struct ManifestEntry {
    enum Kind { folder, textlet, folderText };
    Kind kind = textlet;
    std::string entry; // relative path of the file or directory, "/" between names
    TextForm form;
    std::string title; // exact bytes
    std::string path;  // the item's path, for readers (not used to import)
};

// The file name an export gives a title: readable, deterministic, never "." or "..", no
// "/" or control characters, no leading dot, no name reserved on common systems. Titles
// that are not UTF-8 are read as Windows-1252. `extension` (".txt" or "") is appended.
std::string FileNameFor(std::string_view title, std::string_view extension);

// Sibling names: the first free one of name, "name (2)", "name (3)", ... before the
// extension, compared without regard to ASCII case (so the export survives a file system
// that folds case).
// A taken name is kept as a 64-bit hash of its folded bytes, 16 bytes a name at most, so that
// a folder of a million items costs little; two different names that share a hash (about one
// pair in 10^19) only make the later one take a number it did not need.
class CNameSet {
public:
    // Marks a name as taken.
    void Reserve(const std::string& name);
    // A free name for title; marks it taken.
    std::string Take(std::string_view title, std::string_view extension);

private:
    std::vector<std::uint64_t> m_slots; // open addressing; 0 is a free slot
    std::size_t m_nUsed = 0;
    bool Has(const std::string& name) const;
};

// Percent-encoding of bytes for the manifest: "%", tab, line breaks and other control
// bytes, and every byte of a string that is not UTF-8. Decode gives back the exact bytes;
// it returns false for a malformed escape.
std::string PercentEncode(std::string_view bytes);
bool PercentDecode(std::string_view text, std::string& bytes);

std::string ManifestLine(const ManifestEntry& e);
// Parses the manifest's text; lines that do not parse are passed over. False when the text
// is not a manifest (its first line is not the header).
bool ParseManifest(std::string_view text, std::vector<ManifestEntry>& entries);

// Stored text to the bytes of its exported file, and back.
std::string TextToFile(std::string_view stored, TextForm& form);
std::string FileToText(std::string_view file, const TextForm& form);

} // namespace exchange
