#include "cli/Commands.h"

#include "cli/Files.h"
#include "cli/Format.h"
#include "cli/Link.h"

namespace cli {

int VerifyAgainstFile(const Options& o)
{
    const QString file = o.files.at(0);
    Maps maps;
    if (!LoadFile(file, maps))
        return ExitInput;
    Link s;
    const int failed = Connect(o, s, !o.json);
    if (failed >= 0)
        return failed;
    Maps device;
    if (!ReadVariator(s, device, false, QStringLiteral("verify"), TransferKind::Compare)) {
        s.ReportFailures();
        return ExitDevice;
    }
    return ReportComparison(QStringLiteral("verify"), Compare(maps.lpg, maps.petrol, device.lpg, device.petrol),
                            "file", "device", o.json,
                            QJsonObject{{QStringLiteral("port"), s.number}, {QStringLiteral("file"), file}});
}

int DiffFiles(const Options& o)
{
    Maps a;
    Maps b;
    if (!LoadFile(o.files.at(0), a) || !LoadFile(o.files.at(1), b))
        return ExitInput;
    return ReportComparison(QStringLiteral("diff"), Compare(a.lpg, a.petrol, b.lpg, b.petrol), "a", "b", o.json,
                            QJsonObject{{QStringLiteral("a"), o.files.at(0)}, {QStringLiteral("b"), o.files.at(1)}});
}

}  // namespace cli
