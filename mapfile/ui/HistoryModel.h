#pragma once

#include "app/core/History.h"
#include "mapfile/ui/HistoryReader.h"

#include <QAbstractItemModel>
#include <QList>
#include <QVector>

// The rows of the history: every restore point of the folder, those of one
// visit gathered under one row of the visit (its car, its date, what it came
// in with and left with, how many points it changed), which unfolds to them.
// A restore point made outside a visit is a row of its own. The rows that
// match the search stay, in the order of the folder's list, newest first.
class THistoryModel : public QAbstractItemModel {
public:
    explicit THistoryModel(QList<RestorePointEntry> list, QObject* parent);

    // The list's columns. Only the car's can be edited.
    enum Column {
        WhenColumn,
        KindColumn,
        PortColumn,
        FirmwareColumn,
        DifferColumn,
        NoteColumn,
        VisitColumn,
        Columns
    };

    // Per restore point, what has been read of it so far.
    struct Found {
        QString note;
        int differing = -1;  // -1: not known yet
        bool damaged = false;
        QString fault;
        bool written = false;  // the note was written here: what the thread read of it is old
    };

    // One row of the list: a visit and its restore points (newest first), or
    // one restore point made outside a visit.
    struct Group {
        QString visit;  // empty: one restore point of its own
        QVector<int> entries;
        int before = -1;   // the visit's first read or compare, else its first point
        int after = -1;    // its newest point
        int changed = -1;  // points that differ between them; -1: not known yet
        bool damaged = false;
    };

    QList<RestorePointEntry> entries;
    QVector<Found> found;
    QVector<Group> groups;
    QVector<int> groupOf;        // group of each entry
    QVector<int> shown;          // group of each row
    QVector<int> rowOfGroup;     // row of each group; -1: not shown
    QString search;              // lower case
    QVector<QString> haystacks;  // lower-case texts searched, made at the first search

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A car written into a row goes to its note file at once (into those of
    // every restore point of a visit); a note that cannot be written is shown
    // once the edit has ended, and the row keeps its note.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The restore point of a row; -1 for a visit's row or none.
    int EntryAt(const QModelIndex& index) const;
    // The row of a restore point (a visit's child row, when it has one); invalid when not shown.
    QModelIndex IndexOfEntry(int entry) const;
    // The car of a group: the newest note of its points.
    QString GroupCar(int group) const;

    // Keeps the rows that hold text, in any case; a visit stays when its car
    // or one of its restore points holds it.
    void SetSearch(const QString& text);

    // What the reading thread found. With a search typed, a note that was
    // found may bring its row in.
    void Take(const QVector<Finding>& findings);

    // The restore points whose maps tell what each visit changed: per visit
    // group, its before and after.
    QVector<VisitPair> VisitPairs() const;

private:
    int GroupAt(const QModelIndex& index) const;
    void Unsearched(int i);
    const QString& Haystack(int i);
    QVector<int> Matching();
    void Show(QVector<int> rows);
    QVariant PointData(int entry, int column, int role) const;
    QVariant VisitData(int group, int column, int role) const;
};
