#pragma once

#include <QByteArray>
#include <QString>

namespace Files {

// Replaces the file by content so that an interruption leaves either the old file or the
// whole new one: the content goes to a temporary file in the same folder, is synced to disk
// and then renamed over the file. A symlink stays a symlink: its target is replaced. The new
// file gets the permissions of any newly created file (0666 less the umask).
void replaceAtomically(const QString& path, const QByteArray& content);

// Removes the temporary files that an interrupted replaceAtomically() of path left behind:
// regular files of this user whose names have exactly the form it gives them, nothing else.
void removeLeftovers(const QString& path);

} // namespace Files
