#include "mapfile/ui/HistoryModel.h"

#include "app/widgets/Seams.h"

#include <QHash>
#include <algorithm>

THistoryModel::THistoryModel(QList<RestorePointEntry> list, QObject* parent)
    : QAbstractItemModel(parent)
    , entries(std::move(list))
    , found(entries.size())
    , groupOf(entries.size())
{
    // One pass over the names: each visit's points gather in the group that
    // its newest point opened.
    QHash<QString, int> visits;
    for (int i = 0; i < entries.size(); ++i) {
        const QString& visit = entries.at(i).visit;
        int g = -1;
        if (!visit.isEmpty()) {
            const auto it = visits.constFind(visit);
            if (it != visits.constEnd())
                g = it.value();
            else
                visits.insert(visit, g = int(groups.size()));
        } else {
            g = int(groups.size());
        }
        if (g == groups.size()) {
            groups.append(Group());
            groups.last().visit = visit;
        }
        groups[g].entries.append(i);
        groupOf[i] = g;
    }
    for (Group& group : groups) {
        group.after = group.entries.first();
        group.before = group.entries.last();
        for (int i : group.entries)
            if (entries.at(i).kind != TransferKind::Write)
                group.before = i;
    }
    rowOfGroup.fill(-1, groups.size());
    shown = Matching();
    for (int r = 0; r < shown.size(); ++r)
        rowOfGroup[shown.at(r)] = r;
}

QVector<VisitPair> THistoryModel::VisitPairs() const
{
    QVector<VisitPair> pairs;
    for (int g = 0; g < groups.size(); ++g)
        if (!groups.at(g).visit.isEmpty())
            pairs.append({g, entries.at(groups.at(g).before).file, entries.at(groups.at(g).after).file});
    return pairs;
}

QModelIndex THistoryModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= Columns || row < 0)
        return QModelIndex();
    if (!parent.isValid())
        return row < shown.size() ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0 || parent.row() >= shown.size())
        return QModelIndex();
    const Group& group = groups.at(shown.at(parent.row()));
    if (group.visit.isEmpty() || row >= group.entries.size())
        return QModelIndex();
    return createIndex(row, column, quintptr(shown.at(parent.row()) + 1));
}

QModelIndex THistoryModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return QModelIndex();
    const int g = int(child.internalId() - 1);
    const int row = g < rowOfGroup.size() ? rowOfGroup.at(g) : -1;
    return row < 0 ? QModelIndex() : createIndex(row, 0, quintptr(0));
}

int THistoryModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return shown.size();
    if (parent.internalId() != 0 || parent.column() != 0 || parent.row() >= shown.size())
        return 0;
    const Group& group = groups.at(shown.at(parent.row()));
    return group.visit.isEmpty() ? 0 : group.entries.size();
}

int THistoryModel::columnCount(const QModelIndex&) const
{
    return Columns;
}

QVariant THistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const captions[] = {"Дата и время", "Действие", "Порт", "Прошивка", "Отличается точек",
                                           "Автомобиль", "До → после"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
        return QVariant();
    return QString::fromUtf8(captions[section]);
}

int THistoryModel::GroupAt(const QModelIndex& index) const
{
    if (!index.isValid())
        return -1;
    if (index.internalId() != 0)
        return int(index.internalId() - 1);
    return index.row() < shown.size() ? shown.at(index.row()) : -1;
}

int THistoryModel::EntryAt(const QModelIndex& index) const
{
    const int g = GroupAt(index);
    if (g < 0)
        return -1;
    const Group& group = groups.at(g);
    if (index.internalId() != 0)
        return index.row() < group.entries.size() ? group.entries.at(index.row()) : -1;
    return group.visit.isEmpty() ? group.entries.first() : -1;
}

QModelIndex THistoryModel::IndexOfEntry(int entry) const
{
    if (entry < 0 || entry >= entries.size())
        return QModelIndex();
    const int g = groupOf.at(entry);
    const int row = rowOfGroup.at(g);
    if (row < 0)
        return QModelIndex();
    if (groups.at(g).visit.isEmpty())
        return index(row, 0);
    return index(int(groups.at(g).entries.indexOf(entry)), 0, index(row, 0));
}

QString THistoryModel::GroupCar(int g) const
{
    for (int i : groups.at(g).entries)
        if (!found.at(i).note.isEmpty())
            return found.at(i).note;
    return QString();
}

QVariant THistoryModel::data(const QModelIndex& index, int role) const
{
    const int g = GroupAt(index);
    if (g < 0)
        return QVariant();
    const int entry = EntryAt(index);
    return entry >= 0 ? PointData(entry, index.column(), role) : VisitData(g, index.column(), role);
}

QVariant THistoryModel::PointData(int i, int column, int role) const
{
    const RestorePointEntry& e = entries.at(i);
    const Found& f = found.at(i);
    if (role == Qt::ToolTipRole && f.damaged)
        return f.fault;
    if (role == Qt::EditRole && column == NoteColumn)
        return f.note;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (column) {
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

QVariant THistoryModel::VisitData(int g, int column, int role) const
{
    const Group& group = groups.at(g);
    const RestorePointEntry& first = entries.at(group.entries.last());
    const RestorePointEntry& before = entries.at(group.before);
    const RestorePointEntry& after = entries.at(group.after);
    if (role == Qt::EditRole && column == NoteColumn)
        return GroupCar(g);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (column) {
    case WhenColumn:
        return first.WhenText();
    case KindColumn:
        return QStringLiteral("визит (%1)").arg(group.entries.size());
    case PortColumn:
        return QStringLiteral("COM%1").arg(after.port);
    case FirmwareColumn:
        for (int i : group.entries)
            if (entries.at(i).hasFirmware)
                return QString::number(entries.at(i).firmware);
        return QString();
    case VisitColumn: {
        const QString changed = group.damaged          ? QStringLiteral("файл повреждён")
                              : group.changed < 0      ? QStringLiteral("…")
                                                       : QString::number(group.changed);
        return QStringLiteral("%1 %2 → %3 %4, изменено точек: %5")
            .arg(TransferKindText(before.kind), before.WhenText().mid(11), TransferKindText(after.kind),
                 after.WhenText().mid(11), changed);
    }
    case NoteColumn:
        return GroupCar(g);
    default:
        return QVariant();
    }
}

Qt::ItemFlags THistoryModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractItemModel::flags(index);
    if (index.isValid() && index.column() == NoteColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool THistoryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != NoteColumn)
        return false;
    const int g = GroupAt(index);
    if (g < 0)
        return false;
    const int entry = EntryAt(index);
    const QVector<int> points = entry >= 0 ? QVector<int>{entry} : groups.at(g).entries;
    const QString note = value.toString().trimmed();
    if (note == (entry >= 0 ? found.at(entry).note : GroupCar(g)))
        return false;
    bool changed = false;
    QString failure;
    for (int i : points) {
        QString error;
        if (!SaveRestorePointNote(entries.at(i).file, note, &error)) {
            if (failure.isEmpty())
                failure = RestorePointNoteFailure(entries.at(i).file, error);
            continue;
        }
        found[i].note = note;
        found[i].written = true;
        Unsearched(i);
        changed = true;
    }
    if (!failure.isEmpty())
        ShowErrorBoxLater(failure);
    if (!changed)
        return false;
    const QModelIndex row = this->index(rowOfGroup.at(g), 0);
    emit dataChanged(this->index(row.row(), NoteColumn), this->index(row.row(), NoteColumn));
    if (!groups.at(g).visit.isEmpty())
        emit dataChanged(this->index(0, NoteColumn, row), this->index(rowCount(row) - 1, NoteColumn, row));
    return failure.isEmpty();
}

void THistoryModel::Show(QVector<int> rows)
{
    beginResetModel();
    for (int g : std::as_const(shown))
        rowOfGroup[g] = -1;
    shown = std::move(rows);
    for (int r = 0; r < shown.size(); ++r)
        rowOfGroup[shown.at(r)] = r;
    endResetModel();
}

void THistoryModel::SetSearch(const QString& text)
{
    const QString lower = text.trimmed().toLower();
    if (lower == search)
        return;
    search = lower;
    Show(Matching());
}

void THistoryModel::Take(const QVector<Finding>& findings)
{
    bool notes = false;
    int first = -1;
    int last = -1;
    for (const Finding& f : findings) {
        int g = -1;
        if (f.isVisit) {
            g = f.entry;
            groups[g].changed = f.damaged ? -1 : f.differing;
            groups[g].damaged = f.damaged;
        } else {
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
            g = groupOf.at(f.entry);
        }
        const int row = rowOfGroup.at(g);
        if (row < 0)
            continue;
        first = first < 0 ? row : std::min(first, row);
        last = std::max(last, row);
    }
    // The rows change only when a note brings one in: a list being read
    // through is not reset under the user's eyes for nothing.
    if (notes && !search.isEmpty()) {
        QVector<int> rows = Matching();
        if (rows != shown) {
            Show(std::move(rows));
            return;
        }
    }
    // One range of top-level rows: the view repaints what it shows of it,
    // the unfolded visits' points among them. A range for each visit's
    // points would have the view look each one up among all its rows.
    if (first < 0)
        return;
    emit dataChanged(index(first, 0), index(last, Columns - 1));
    // A range of one row repaints that row alone: a visit's points too.
    const QModelIndex only = index(first, 0);
    if (first == last && rowCount(only) > 0)
        emit dataChanged(index(0, 0, only), index(rowCount(only) - 1, Columns - 1, only));
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
    if (h.isEmpty())
        h = RestorePointSearchText(entries.at(i), found.at(i).note);
    return h;
}

QVector<int> THistoryModel::Matching()
{
    QVector<int> rows;
    rows.reserve(groups.size());
    for (int g = 0; g < groups.size(); ++g) {
        if (search.isEmpty()) {
            rows.append(g);
            continue;
        }
        for (int i : std::as_const(groups.at(g).entries))
            if (Haystack(i).contains(search)) {
                rows.append(g);
                break;
            }
    }
    return rows;
}
