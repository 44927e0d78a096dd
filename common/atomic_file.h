#pragma once

#include <string>

// Replaces `path` by a file holding `text` so that a crash at any point leaves either the old or
// the new file: a temporary file of mode 0600 in the same folder ("<name>.XXXXXX"), fsync,
// rename, fsync of the folder. A symbolic link is followed to its final target, which is
// replaced; the link stays. A rewrite keeps the old file's mode (and owner, when run as root).
// False, with a log line, when the file could not be replaced; the old file is then untouched.
bool replaceFile(const std::string& path, const std::string& text);

// Removes the temporary files that replaceFile leaves when the process dies mid-write: plain
// files named after `path`'s final target plus a dot and six letters or digits. They may hold
// what the file holds (a password), and nothing else ever removes them.
void removeStaleTemporaries(const std::string& path);
