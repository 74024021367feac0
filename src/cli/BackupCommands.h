#pragma once
// The backup commands of `nota` (see app/Backup.h for where backups live and how they are
// made and checked):
//
//   nota backup FILE [DIR]        makes a checked backup now (in DIR instead of the user's
//                                 backups folder) and prints its path; 0 made, 1 not
//   nota backups FILE [DIR]       lists FILE's backups, oldest first, one a line: UTC time,
//                                 size, items ("damaged" for one that fails its check), path
//   nota restore BACKUP TARGET    restores a whole backup as the new file TARGET; an existing
//                                 TARGET is refused (1)

#include "cli/Commands.h"

namespace cli {

int Backup(const Call& call, Streams& io);
int Backups(const Call& call, Streams& io);
int Restore(const Call& call, Streams& io);

} // namespace cli
