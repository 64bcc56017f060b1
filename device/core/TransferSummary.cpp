#include "device/core/TransferSummary.h"

#include "device/wire/Frame.h"

#include <QStringList>

MapTally& TransferTally::Of(int firstParameter)
{
    return firstParameter == LPGFirstParameter ? lpg : petrol;
}

void TransferTally::CountPoint(MapTally& map, ExchangeOutcome outcome, bool ok)
{
    map.tried += outcome == ExchangeOutcome::NotSent ? 0 : 1;
    map.done += ok ? 1 : 0;
    failures += ok ? 0 : 1;
}

void TransferTally::CountSetting(bool* tried, bool* done, ExchangeOutcome outcome, bool ok)
{
    if (tried)
        *tried = outcome != ExchangeOutcome::NotSent;
    *done = ok;
    failures += ok ? 0 : 1;
}

bool TransferTally::GoesOn(ExchangeOutcome outcome, bool stopAsked)
{
    if (LinkLost(outcome))
        end = outcome == ExchangeOutcome::NoReply ? TransferEnd::NoReply : TransferEnd::NotSent;
    else if (stopAsked)
        end = TransferEnd::Stopped;
    else
        return true;
    return false;
}

bool NeedsSummary(const TransferTally& tally)
{
    return tally.failures > 0 || tally.end != TransferEnd::RanThrough;
}

namespace {

QString Head(const TransferTally& t)
{
    // The words by the kind's name, not by its place in the enum.
    const bool write = t.command == TransferKind::Write;
    const QString name = write ? QStringLiteral("Запись")
                         : t.command == TransferKind::Read ? QStringLiteral("Чтение") : QStringLiteral("Сравнение");
    const QString ended = write ? QStringLiteral("прервана") : QStringLiteral("прервано");
    const QString finished = write ? QStringLiteral("завершена") : QStringLiteral("завершено");
    switch (t.end) {
    case TransferEnd::NoReply:
        return name + QStringLiteral(" %1: вариатор не отвечает.").arg(ended);
    case TransferEnd::NotSent:
        return name + QStringLiteral(" %1: запрос не удалось отправить вариатору.").arg(ended);
    case TransferEnd::Stopped:
        return name + QStringLiteral(" %1 пользователем.").arg(ended);
    case TransferEnd::RanThrough:
        break;
    }
    return name + QStringLiteral(" %1 с ошибками: %2.").arg(finished).arg(t.failures);
}

QString Points(const TransferTally& t, const QString& verb)
{
    const int planned = t.lpg.planned + t.petrol.planned;
    if (planned == 0)
        return QString();
    QStringList maps;
    if (t.lpg.planned > 0)
        maps << QStringLiteral("газ: %1 из %2").arg(t.lpg.done).arg(t.lpg.planned);
    if (t.petrol.planned > 0)
        maps << QStringLiteral("бензин: %1 из %2").arg(t.petrol.done).arg(t.petrol.planned);
    return QStringLiteral(" %1 точек: %2 из %3 (%4).")
        .arg(verb)
        .arg(t.lpg.done + t.petrol.done)
        .arg(planned)
        .arg(maps.join(QStringLiteral(", ")));
}

}  // namespace

QString TransferSummary(const TransferTally& t)
{
    QString text = Head(t);
    const int planned = t.lpg.planned + t.petrol.planned;
    const int tried = t.lpg.tried + t.petrol.tried;
    const int done = t.lpg.done + t.petrol.done;
    if (t.command == TransferKind::Write) {
        text += Points(t, QStringLiteral("Записано"));
        if (tried > done)
            text += QStringLiteral(" Неизвестно, что вариатор хранит в точках с ошибкой: %1.").arg(tried - done);
        if (planned > tried)
            text += QStringLiteral(" В неотправленных точках (%1) вариатор хранит прежние значения.").arg(planned - tried);
        if (t.unchecked > 0)
            text += QStringLiteral(" Не удалось проверить чтением точек: %1.").arg(t.unchecked);
        if (t.timeoutPlanned)
            text += t.timeoutDone ? QStringLiteral(" Время до включения записано.")
                                  : QStringLiteral(" Время до включения не записано.");
        return text;
    }
    text += Points(t, QStringLiteral("Прочитано"));
    if (planned > done)
        text += t.command == TransferKind::Read
                  ? QStringLiteral(" Остальные точки сохранили прежние значения.")
                  : QStringLiteral(" Непрочитанные точки считаются отличающимися.");
    if (t.timeoutPlanned)
        text += t.timeoutDone ? QStringLiteral(" Время до включения прочитано.")
                              : QStringLiteral(" Время до включения не прочитано.");
    if (t.firmwarePlanned && !t.firmwareDone)
        text += QStringLiteral(" Версия прошивки не прочитана.");
    return text;
}
