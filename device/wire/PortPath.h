#pragma once

#include <QByteArray>

// The device that a port path names on this system: "\\.\COM<n>" resolves
// through the user's alias folder and the fixed table; any other path is
// returned as given. Empty when the path names no device.
//
// On Linux, COM<n> is first looked up as the alias com<n> (a symbolic link to
// a character device) in PortAliasFolder(), which counts only when it is owned
// by the user and not writable by group or others; otherwise the fixed table
// gives COM1-32 = /dev/ttyS0-31, COM33-64 = /dev/ttyUSB0-31,
// COM65-96 = /dev/ttyACM0-31. Other numbers name no device.
QByteArray ResolvePortPath(const char* path);

// The device of COM<number> in the fixed table, without the alias folder;
// empty for a number outside the table, and on Windows.
QByteArray PortTablePath(int number);

// The user's private folder of port aliases: $XDG_RUNTIME_DIR/tarvo-gui where
// that variable is set, else /tmp/tarvo-gui-<uid>. Empty on Windows.
QByteArray PortAliasFolder();
// Whether folder is a real directory (not a link) owned by the user and not
// writable by group or others.
bool IsTrustedPortFolder(const QByteArray& folder);
