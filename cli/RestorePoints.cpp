#include "cli/RestorePoints.h"

#include "cli/Console.h"

namespace cli {

namespace {

QString failure;
QString news;  // of the history folder: the default one took the points
QString restorePointNote;

}  // namespace

void LeaveRestorePoint(TransferKind kind, int port, const Maps& maps, bool hasTimeout, bool hasFirmware)
{
    const QString message = ::LeaveRestorePoint(kind, port, maps.lpg, maps.petrol,
                                                hasTimeout ? QString::number(maps.timeout) : QString(),
                                                hasFirmware ? std::optional<int>(maps.firmware) : std::nullopt,
                                                restorePointNote);
    if (failure.isEmpty())
        failure = message;
    if (news.isEmpty())
        news = TakeHistoryFolderNews();
}

void SetRestorePointNote(const QString& note)
{
    restorePointNote = note.trimmed();
}

void ReportRestorePointFailure()
{
    if (!news.isEmpty())
        PrintFailure(news);
    if (!failure.isEmpty())
        PrintFailure(failure);
    failure.clear();
    news.clear();
}

}  // namespace cli
