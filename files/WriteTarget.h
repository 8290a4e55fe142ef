#pragma once
// What writing a file the user named is going to replace, and whether it may. Every file
// we write for the user (workbooks, PDFs, the settings file) goes through these rules:
// - a regular file is replaced, keeping its permission bits and, where the system lets
//   this user, its owner and group;
// - a symbolic link is written through, as editors do: what is replaced is the regular
//   file it finally leads to, under the same rules. A link that leads nowhere, in a
//   circle or to anything but a regular file is refused, and so is another user's link
//   in a world-writable sticky folder such as /tmp, which the system itself would not
//   follow for us;
// - folders, device nodes, FIFOs and sockets are refused;
// - a file that this user could not write in place is refused: one without any write
//   permission bit (root included) or that the system would not let this user write, and
//   another user's file in a sticky folder.
// A name that does not exist yet is a new file; whether its folder takes it is found out
// when it is written.
#include <QString>
#include <sys/types.h>

namespace sheet {

struct WriteTarget {
    QString path;          // absolute path of the file to write
    bool exists = false;   // a regular file is there; the fields below describe it
    bool throughLink = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    nlink_t links = 0;
};

// Fills `target` for the name the user gave. False with `*reason` saying, in the user's
// words and without the name itself, why the file may not be written.
bool findWriteTarget(const QString& name, WriteTarget& target, QString* reason);

// True when a new file made by this user can be given the owner and group of the file
// it replaces (always for root).
bool canKeepOwnership(const WriteTarget& target);

// Gives the open new file `fd` the owner and group (where the system lets this user) and
// then the permission bits of the file it replaces. False with errno set when the bits
// cannot be set.
bool takeOverOwnership(int fd, const WriteTarget& target);

} // namespace sheet
