#pragma once

#include <QString>

#include <functional>

// The folder the console runs in. The work log goes to "./logFiles" under the working directory;
// started from a desktop menu the console gets "/" (or a folder it may not write) as working
// directory, so it moves to the operator's home folder first.
namespace WorkingDirectory {

// The folder to run in: `current` when it is writable and not the file-system root, otherwise
// `home` when that is writable; `current` when neither is better.
QString choose(const QString &current, const QString &home,
               const std::function<bool(const QString &)> &isWritable);

// Whether the process may create files in `folder`.
bool isWritable(const QString &folder);

// Applies the rule to this process (changes into the home folder when needed) and returns the
// working directory in effect.
QString apply();

} // namespace WorkingDirectory
