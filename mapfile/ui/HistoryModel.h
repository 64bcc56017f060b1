#pragma once

#include "app/core/History.h"
#include "mapfile/ui/HistoryReader.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QVector>

// The rows of the history: every restore point of the folder, the ones that
// match the search in the order of the folder's list.
class THistoryModel : public QAbstractTableModel {
public:
    explicit THistoryModel(QList<RestorePointEntry> list, QObject* parent);

    // The list's columns.
    enum Column {
        WhenColumn,
        KindColumn,
        PortColumn,
        HostColumn,  // the workstation that made it
        FirmwareColumn,
        DifferColumn,
        NoteColumn,
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

    QList<RestorePointEntry> entries;
    QVector<Found> found;
    QVector<int> order;          // entries in the list's order: those added later go in their place
    QVector<int> shown;          // entry of each row
    QVector<int> rowOf;          // row of each entry, -1 when it is not shown
    QString search;              // lower case
    QVector<QString> haystacks;  // lower-case texts searched, made at the first search

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A car written into a row goes to its note file at once; a note that
    // cannot be written is shown once the edit has ended, and the row keeps
    // its note.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    int EntryOf(int row) const { return row >= 0 && row < shown.size() ? shown.at(row) : -1; }

    // Keeps the rows that hold text, in any case.
    void SetSearch(const QString& text);

    // What the reading thread found. With a search typed, a note that was
    // found may bring its row in.
    void Take(const QVector<Finding>& findings);

    // Restore points that came into the folder since it was listed, each
    // put in its place in the list (the rows around it stay as they are).
    // Returns the first entry of them; they follow it in entries.
    int Add(const QList<RestorePointEntry>& added);
    // The entry of a restore point's file; -1 when it is not in the list.
    int EntryOfFile(const QString& file);

private:
    void Unsearched(int i);
    const QString& Haystack(int i);
    QVector<int> Matching();
    void Filter() { Show(Matching()); }
    void Show(QVector<int> rows);
    QHash<QString, int> entryOfFile;  // made when first asked
};
