#pragma once
// Where a text goes that could not be stored in its data file (a folder that became
// read-only, a full disk) when the window must close all the same: a new file of its own in
// the user's data folder, so that nothing typed is lost.

#include <string>

namespace recovery {

// The folder: $XDG_DATA_HOME/Notarium/recovered, else ~/.local/share/Notarium/recovered.
std::string Folder();

// Writes `stored` (the pane's bytes as stored: CR LF breaks, UTF-8 or Windows-1252) as UTF-8
// with LF into a new file "<data file's name> - <title> - <UTC time>.txt" in Folder(), made
// with mode 0600 and committed to the disk. Never replaces a file. Returns its path; throws
// CFileException (naming the folder or the file) when it cannot be written.
std::string KeepText(const std::string& dataPath, const std::string& title,
                     const std::string& stored);

} // namespace recovery
