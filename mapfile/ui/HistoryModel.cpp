#include "mapfile/ui/HistoryModel.h"

#include "app/widgets/Seams.h"

#include <algorithm>
#include <utility>

THistoryModel::THistoryModel(QList<RestorePointEntry> list, QObject* parent)
    : QAbstractTableModel(parent)
    , entries(std::move(list))
    , found(entries.size())
{
    order.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i)
        order.append(i);
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
    static const char* const captions[] = {"Дата и время", "Действие", "Порт", "Рабочее место", "Прошивка",
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
    case HostColumn:
        return e.host;
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
            Show(std::move(rows));
            endResetModel();
            return;
        }
    }
    // The rows of the changed entries lie between these.
    int top = -1;
    int bottom = -1;
    for (const Finding& f : findings) {
        const int row = rowOf.value(f.entry, -1);
        if (row < 0)
            continue;
        top = top < 0 ? row : std::min(top, row);
        bottom = std::max(bottom, row);
    }
    if (top >= 0)
        emit dataChanged(index(top, 0), index(bottom, Columns - 1));
}

int THistoryModel::Add(const QList<RestorePointEntry>& added)
{
    const int first = int(entries.size());
    if (added.isEmpty())
        return first;
    entries.append(added);
    found.resize(entries.size());
    if (!haystacks.isEmpty())
        haystacks.resize(entries.size());
    if (!entryOfFile.isEmpty())
        for (int i = first; i < entries.size(); ++i)
            entryOfFile.insert(entries.at(i).file, i);
    // Both runs are in the list's order: one merge puts each in its place.
    QVector<int> merged;
    merged.reserve(entries.size());
    int next = first;
    for (int i : std::as_const(order)) {
        while (next < entries.size() && ListedBefore(entries.at(next), entries.at(i)))
            merged.append(next++);
        merged.append(i);
    }
    while (next < entries.size())
        merged.append(next++);
    order = std::move(merged);

    // The rows there are stay; the new ones are inserted between them, run
    // by run, so that the view keeps its place and its choice.
    const QVector<int> rows = Matching();
    QVector<std::pair<int, int>> runs;  // first row, length
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r) < first)
            continue;
        if (!runs.isEmpty() && runs.last().first + runs.last().second == r)
            ++runs.last().second;
        else
            runs.append({r, 1});
    }
    if (runs.size() > 64) {
        beginResetModel();
        Show(rows);
        endResetModel();
        return first;
    }
    for (const auto& [row, length] : std::as_const(runs)) {
        beginInsertRows(QModelIndex(), row, row + length - 1);
        shown.insert(row, length, 0);
        std::copy(rows.begin() + row, rows.begin() + row + length, shown.begin() + row);
        endInsertRows();
    }
    Show(rows);
    return first;
}

int THistoryModel::EntryOfFile(const QString& file)
{
    if (entryOfFile.isEmpty())
        for (int i = 0; i < entries.size(); ++i)
            entryOfFile.insert(entries.at(i).file, i);
    return entryOfFile.value(file, -1);
}

void THistoryModel::Show(QVector<int> rows)
{
    shown = std::move(rows);
    rowOf.fill(-1, entries.size());
    for (int r = 0; r < shown.size(); ++r)
        rowOf[shown.at(r)] = r;
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
             + QString::number(e.port) + QLatin1Char('\n') + e.host + QLatin1Char('\n') + found.at(i).note)
                .toLower();
    }
    return h;
}

QVector<int> THistoryModel::Matching()
{
    QVector<int> rows;
    rows.reserve(entries.size());
    for (int i : std::as_const(order))
        if (search.isEmpty() || Haystack(i).contains(search))
            rows.append(i);
    return rows;
}
