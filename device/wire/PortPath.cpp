#include "device/wire/PortPath.h"

#ifndef Q_OS_WIN
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

QByteArray ResolvePortPath(const char* path)
{
    return path ? QByteArray(path) : QByteArray();
}

QByteArray PortTablePath(int) { return QByteArray(); }

QByteArray PortAliasFolder() { return QByteArray(); }

bool IsTrustedPortFolder(const QByteArray&) { return false; }

#else

namespace {

// The number n of "\\.\COM<n>" (decimal, no sign, no leading zero), 0 when the
// text has the prefix but no valid number, -1 when it lacks the prefix.
int ComNumber(const QByteArray& path)
{
    static const QByteArray prefix("\\\\.\\COM");
    if (!path.startsWith(prefix))
        return -1;
    const QByteArray digits = path.mid(prefix.size());
    if (digits.isEmpty() || digits.size() > 5 || digits.at(0) == '0')
        return 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
    }
    return digits.toInt();
}

// The device behind the alias com<n>, empty when there is no usable alias.
QByteArray AliasTarget(int number)
{
    const QByteArray folder = PortAliasFolder();
    if (!IsTrustedPortFolder(folder))
        return QByteArray();
    const QByteArray alias = folder + "/com" + QByteArray::number(number);
    struct stat st;
    if (::lstat(alias.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return QByteArray();
    char* target = ::realpath(alias.constData(), nullptr);
    if (!target)
        return QByteArray();
    const QByteArray result(target);
    std::free(target);
    if (::stat(result.constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return QByteArray();
    return result;
}

}  // namespace

QByteArray ResolvePortPath(const char* path)
{
    if (!path)
        return QByteArray();
    const QByteArray given(path);
    const int number = ComNumber(given);
    if (number < 0)
        return given;
    if (number == 0)
        return QByteArray();
    const QByteArray alias = AliasTarget(number);
    if (!alias.isEmpty())
        return alias;
    return PortTablePath(number);
}

QByteArray PortTablePath(int number)
{
    if (number >= 1 && number <= 32)
        return "/dev/ttyS" + QByteArray::number(number - 1);
    if (number >= 33 && number <= 64)
        return "/dev/ttyUSB" + QByteArray::number(number - 33);
    if (number >= 65 && number <= 96)
        return "/dev/ttyACM" + QByteArray::number(number - 65);
    return QByteArray();
}

QByteArray PortAliasFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + "/tarvo-gui";
    return "/tmp/tarvo-gui-" + QByteArray::number(uint(::getuid()));
}

bool IsTrustedPortFolder(const QByteArray& folder)
{
    struct stat st;
    if (folder.isEmpty() || ::lstat(folder.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
        && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

#endif
