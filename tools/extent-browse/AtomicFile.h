// Replacing a file so that a crash at any moment leaves the old content or
// the new, and no temporary file.
#ifndef EXTENTBROWSE_TOOLS_ATOMICFILE_H
#define EXTENTBROWSE_TOOLS_ATOMICFILE_H

#include <sys/stat.h>
#include <string>

// Writes `content` as the file `base` of the folder open as `folder`. The
// new file has no name until it is complete: an O_TMPFILE file, synced,
// linked in under a random name and renamed over `base` at once, and the
// folder synced; file systems without O_TMPFILE get a named temporary. With
// `old` (the file replaced), the new one takes its owner (when the process
// may give it) and mode; otherwise the mode creation under the umask gives.
// False, with `error` (an errno), on failure; nothing is left behind but
// for the instant between the link and the rename, when a process killed
// there leaves its temporary name: see RemoveLeftovers.
bool ReplaceAtomically(int folder, const std::string& base, const struct stat* old,
                       const std::string& content, int& error);

// Removes the temporary names ReplaceAtomically gives `base` in `folder`,
// which only a save killed between its link and its rename leaves: files
// whose names carry the save's mark, that this process's user owns, and
// whose content starts with `contentMark`, as everything saved does. Any
// other file is left alone, whatever its name. Call it only while every
// save to the folder is held off (the cache's folder lock), or it would
// take a save in progress's file from under it.
void RemoveLeftovers(int folder, const std::string& base, const std::string& contentMark);

#endif  // EXTENTBROWSE_TOOLS_ATOMICFILE_H
