#include "mapfile/ui/HistoryModel.h"

#include "app/widgets/Seams.h"

#include <algorithm>

THistoryModel::THistoryModel(QList<RestorePointEntry> list, QObject* parent)
    : QAbstractTableModel(parent)
    , entries(std::move(list))
    , found(entries.size())
{
    Filter();
}

int THistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown.size();
}

int THistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant THistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const captions[] = {"Дата и время", "Действие", "Порт", "Прошивка",
                                           "Отличается точек", "Автомобиль"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
        return QVariant();
    return QString::fromUtf8(captions[section]);
}

QVariant THistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown.size())
        return QVariant();
    const int i = shown.at(index.row());
    const RestorePointEntry& e = entries.at(i);
    const Found& f = found.at(i);
    if (role == Qt::ToolTipRole && f.damaged)
        return f.fault;
    if (role == Qt::EditRole && index.column() == NoteColumn)
        return f.note;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case WhenColumn:
        return e.WhenText();
    case KindColumn:
        return TransferKindText(e.kind);
    case PortColumn:
        return QStringLiteral("COM%1").arg(e.port);
    case FirmwareColumn:
        return e.hasFirmware ? QString::number(e.firmware) : QString();
    case DifferColumn:
        if (f.damaged)
            return QStringLiteral("файл повреждён");
        return f.differing < 0 ? QStringLiteral("…") : QString::number(f.differing);
    case NoteColumn:
        return f.note;
    default:
        return QVariant();
    }
}

Qt::ItemFlags THistoryModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == NoteColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool THistoryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != NoteColumn || index.row() >= shown.size())
        return false;
    const int i = shown.at(index.row());
    const QString note = value.toString().trimmed();
    if (note == found.at(i).note)
        return false;
    QString error;
    if (!SaveRestorePointNote(entries.at(i).file, note, &error)) {
        ShowErrorBoxLater(QStringLiteral("Не удалось сохранить запись об автомобиле: %1: %2")
                              .arg(RestorePointNoteFile(entries.at(i).file), error));
        return false;
    }
    found[i].note = note;
    found[i].written = true;
    Unsearched(i);
    emit dataChanged(index, index);
    return true;
}

void THistoryModel::SetSearch(const QString& text)
{
    const QString lower = text.trimmed().toLower();
    if (lower == search)
        return;
    search = lower;
    beginResetModel();
    Filter();
    endResetModel();
}

void THistoryModel::Take(const QVector<Finding>& findings)
{
    bool notes = false;
    int first = -1;
    int last = -1;
    for (const Finding& f : findings) {
        Found& to = found[f.entry];
        if (f.isNote) {
            if (to.written)
                continue;
            to.note = f.note;
            Unsearched(f.entry);
            notes = true;
        } else {
            to.differing = f.differing;
            to.damaged = f.damaged;
            to.fault = f.fault;
        }
        first = first < 0 ? f.entry : std::min(first, f.entry);
        last = std::max(last, f.entry);
    }
    // The rows change only when a note brings one in: a list being read
    // through is not reset under the user's eyes for nothing.
    if (notes && !search.isEmpty()) {
        QVector<int> rows = Matching();
        if (rows != shown) {
            beginResetModel();
            shown = std::move(rows);
            endResetModel();
            return;
        }
    }
    if (first >= 0 && !shown.isEmpty()) {
        // Rows are entries in order, so the changed ones lie between these.
        const auto lower = std::lower_bound(shown.begin(), shown.end(), first);
        const auto upper = std::upper_bound(shown.begin(), shown.end(), last);
        if (lower < upper)
            emit dataChanged(index(int(lower - shown.begin()), 0),
                             index(int(upper - shown.begin()) - 1, Columns - 1));
    }
}

void THistoryModel::Unsearched(int i)
{
    if (!haystacks.isEmpty())
        haystacks[i].clear();
}

const QString& THistoryModel::Haystack(int i)
{
    if (haystacks.isEmpty())
        haystacks.resize(entries.size());
    QString& h = haystacks[i];
    if (h.isEmpty()) {
        const RestorePointEntry& e = entries.at(i);
        h = (e.WhenText() + QLatin1Char('\n') + TransferKindText(e.kind) + QStringLiteral("\nCOM")
             + QString::number(e.port) + QLatin1Char('\n') + found.at(i).note)
                .toLower();
    }
    return h;
}

QVector<int> THistoryModel::Matching()
{
    QVector<int> rows;
    rows.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i)
        if (search.isEmpty() || Haystack(i).contains(search))
            rows.append(i);
    return rows;
}
