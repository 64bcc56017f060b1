#include "cli/Commands.h"

#include "cli/Files.h"
#include "cli/Format.h"
#include "cli/Link.h"

namespace cli {

int ReadToFile(const Options& o)
{
    const QString file = o.files.at(0);
    if (!CanSave(file))
        return ExitInput;
    Link s;
    const int failed = Connect(o, s, !o.json);
    if (failed >= 0)
        return failed;
    Maps maps;
    if (!ReadVariator(s, maps, true, QStringLiteral("read"))) {
        s.ReportFailures();
        PrintFailure(QStringLiteral("'%1' was not written").arg(file));
        return ExitDevice;
    }
    if (!SaveFile(file, maps))
        return ExitInput;
    if (o.json) {
        PrintJson(QJsonObject{{QStringLiteral("command"), QStringLiteral("read")},
                              {QStringLiteral("port"), s.number},
                              {QStringLiteral("file"), file},
                              {QStringLiteral("timeout"), maps.timeout},
                              {QStringLiteral("firmware"), maps.firmware},
                              {QStringLiteral("lpg"), JsonMap(maps.lpg)},
                              {QStringLiteral("petrol"), JsonMap(maps.petrol)}});
    } else {
        PrintResult(QStringLiteral("saved %1").arg(file));
        PrintResult(QStringLiteral("timeout %1").arg(maps.timeout));
        PrintResult(QStringLiteral("firmware %1").arg(maps.firmware));
    }
    return ExitDone;
}

}  // namespace cli
