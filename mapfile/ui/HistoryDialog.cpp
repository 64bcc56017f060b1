#include "mapfile/ui/HistoryDialog.h"

#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "editors/ui/ReferenceView.h"
#include "mapfile/core/MapFile.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>
#include <QVector>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

// What the reading thread found about one restore point: its note, or how
// its maps compare with the maps being edited.
struct Finding {
    int entry = 0;
    bool isNote = false;
    QString note;
    bool damaged = false;
    QString fault;
    int differing = 0;
};

// A batch goes to the list this often, or every so many findings.
constexpr int BatchMilliseconds = 50;
constexpr int BatchFindings = 256;

// The thread that reads the history's files; it runs the work it is given.
class TReader : public QThread {
public:
    explicit TReader(std::function<void()> work)
        : work(std::move(work))
    {
    }

protected:
    void run() override { work(); }

private:
    std::function<void()> work;
};

}  // namespace

// The rows of the history: every restore point of the folder, the ones that
// match the search in the order of the folder's list.
class THistoryModel : public QAbstractTableModel {
public:
    explicit THistoryModel(QList<RestorePointEntry> list, QObject* parent)
        : QAbstractTableModel(parent)
        , entries(std::move(list))
        , found(entries.size())
    {
        Filter();
    }

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
    QVector<int> shown;          // entry of each row
    QString search;              // lower case
    QVector<QString> haystacks;  // lower-case texts searched, made at the first search

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : shown.size();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : THistoryDialog::Columns;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char* const captions[] = {"Дата и время", "Действие", "Порт", "Прошивка",
                                               "Отличается точек", "Автомобиль"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
            || section >= THistoryDialog::Columns)
            return QVariant();
        return QString::fromUtf8(captions[section]);
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= shown.size())
            return QVariant();
        const int i = shown.at(index.row());
        const RestorePointEntry& e = entries.at(i);
        const Found& f = found.at(i);
        if (role == Qt::ToolTipRole && f.damaged)
            return f.fault;
        if (role == Qt::EditRole && index.column() == THistoryDialog::NoteColumn)
            return f.note;
        if (role != Qt::DisplayRole)
            return QVariant();
        switch (index.column()) {
        case THistoryDialog::WhenColumn:
            return e.WhenText();
        case THistoryDialog::KindColumn:
            return TransferKindText(e.kind);
        case THistoryDialog::PortColumn:
            return QStringLiteral("COM%1").arg(e.port);
        case THistoryDialog::FirmwareColumn:
            return e.hasFirmware ? QString::number(e.firmware) : QString();
        case THistoryDialog::DifferColumn:
            if (f.damaged)
                return QStringLiteral("файл повреждён");
            return f.differing < 0 ? QStringLiteral("…") : QString::number(f.differing);
        case THistoryDialog::NoteColumn:
            return f.note;
        default:
            return QVariant();
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags flags = QAbstractTableModel::flags(index);
        if (index.column() == THistoryDialog::NoteColumn)
            flags |= Qt::ItemIsEditable;
        return flags;
    }

    // A car written into a row goes to its note file at once; a note that
    // cannot be written is shown once the edit has ended, and the row keeps
    // its note.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || index.column() != THistoryDialog::NoteColumn || index.row() >= shown.size())
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

    int EntryOf(int row) const { return row >= 0 && row < shown.size() ? shown.at(row) : -1; }

    // Keeps the rows that hold text, in any case.
    void SetSearch(const QString& text)
    {
        const QString lower = text.trimmed().toLower();
        if (lower == search)
            return;
        search = lower;
        beginResetModel();
        Filter();
        endResetModel();
    }

    // What the reading thread found. With a search typed, a note that was
    // found may bring its row in.
    void Take(const QVector<Finding>& findings)
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
                                 index(int(upper - shown.begin()) - 1, THistoryDialog::Columns - 1));
        }
    }

private:
    void Unsearched(int i)
    {
        if (!haystacks.isEmpty())
            haystacks[i].clear();
    }

    const QString& Haystack(int i)
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

    QVector<int> Matching()
    {
        QVector<int> rows;
        rows.reserve(entries.size());
        for (int i = 0; i < entries.size(); ++i)
            if (search.isEmpty() || Haystack(i).contains(search))
                rows.append(i);
        return rows;
    }

    void Filter() { shown = Matching(); }
};

THistoryDialog::THistoryDialog(TForm2* window, const QString& folder)
    : QDialog(window)
    , window(window)
    , model(new THistoryModel(ListRestorePoints(folder), this))
{
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("История"));

    SearchEdit = new QLineEdit(this);
    SearchEdit->setObjectName(QStringLiteral("HistorySearch"));
    SearchEdit->setAccessibleName(QStringLiteral("Поиск"));
    SearchEdit->setPlaceholderText(QStringLiteral("автомобиль, дата, порт или действие"));
    SearchEdit->setClearButtonEnabled(true);
    auto* searchLabel = new QLabel(QStringLiteral("Поиск:"), this);
    searchLabel->setBuddy(SearchEdit);

    List = new QTreeView(this);
    List->setObjectName(QStringLiteral("HistoryList"));
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->setItemsExpandable(false);
    List->setAllColumnsShowFocus(true);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    List->setModel(model);
    // Widths from the texts the columns hold, not from every row.
    const QFontMetrics metrics(List->font());
    const int pad = 3 * metrics.averageCharWidth();
    const QString widest[] = {QStringLiteral("00.00.0000 00:00:00"), QStringLiteral("сравнение"),
                              QStringLiteral("COM0000"), QStringLiteral("Прошивка"),
                              QStringLiteral("Отличается точек")};
    for (int c = 0; c < NoteColumn; ++c)
        List->setColumnWidth(c, metrics.horizontalAdvance(widest[c]) + pad);
    List->header()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(this);
    OpenButton = buttons->addButton(QStringLiteral("Открыть"), QDialogButtonBox::ActionRole);
    OpenLPGButton = buttons->addButton(QStringLiteral("Только газ"), QDialogButtonBox::ActionRole);
    OpenPetrolButton = buttons->addButton(QStringLiteral("Только бензин"), QDialogButtonBox::ActionRole);
    CompareButton = buttons->addButton(QStringLiteral("Сравнить"), QDialogButtonBox::ActionRole);
    NoteButton = buttons->addButton(QStringLiteral("Изменить автомобиль"), QDialogButtonBox::ActionRole);
    CloseButton = buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    OpenButton->setObjectName(QStringLiteral("HistoryOpen"));
    OpenLPGButton->setObjectName(QStringLiteral("HistoryOpenLPG"));
    OpenPetrolButton->setObjectName(QStringLiteral("HistoryOpenPetrol"));
    CompareButton->setObjectName(QStringLiteral("HistoryCompare"));
    NoteButton->setObjectName(QStringLiteral("HistoryNote"));
    CloseButton->setObjectName(QStringLiteral("HistoryClose"));
    OpenLPGButton->setToolTip(QStringLiteral("Открыть только карту газа; карта бензина остаётся"));
    OpenPetrolButton->setToolTip(QStringLiteral("Открыть только карту бензина; карта газа остаётся"));
    // Enter in the list is not "Открыть": loading maps takes a click.
    for (QPushButton* b : {OpenButton, OpenLPGButton, OpenPetrolButton, CompareButton, NoteButton, CloseButton})
        b->setAutoDefault(false);

    auto* search = new QHBoxLayout;
    search->addWidget(searchLabel);
    search->addWidget(SearchEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(List);
    layout->addWidget(buttons);

    const auto choose = [this](MapChoice choice) {
        return [this, choice] { RunHandler([this, choice] { OpenClick(choice); }); };
    };
    connect(OpenButton, &QPushButton::clicked, this, choose(MapChoice::Both));
    connect(OpenLPGButton, &QPushButton::clicked, this, choose(MapChoice::LPG));
    connect(OpenPetrolButton, &QPushButton::clicked, this, choose(MapChoice::Petrol));
    connect(CompareButton, &QPushButton::clicked, this, [this] { RunHandler([this] { CompareClick(); }); });
    connect(NoteButton, &QPushButton::clicked, this, [this] { NoteClick(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ChoiceChanged(); });
    connect(List->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { ChoiceChanged(); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { ChoiceChanged(); });

    // The chosen restore point stays chosen while the search changes the rows.
    auto keptEntry = std::make_shared<int>(-1);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this, keptEntry] { *keptEntry = model->EntryOf(List->currentIndex().row()); });
    connect(model, &QAbstractItemModel::modelReset, this, [this, keptEntry] {
        const int row = int(model->shown.indexOf(*keptEntry));
        if (row >= 0)
            List->setCurrentIndex(model->index(row, 0));
        ChoiceChanged();
    });
    connect(SearchEdit, &QLineEdit::textChanged, this, [this](const QString& text) { model->SetSearch(text); });

    if (model->rowCount() > 0)
        List->setCurrentIndex(model->index(0, 0));
    ChoiceChanged();
    resize(820, 460);
    StartReading();
}

THistoryDialog::~THistoryDialog()
{
    if (reader) {
        reader->requestInterruption();
        reader->wait();
        delete reader;
    }
}

// The notes first, which the search needs, then the maps, newest first: the
// rows at the top of the list get their counts first.
void THistoryDialog::StartReading()
{
    QStringList files;
    QVector<bool> notes;
    for (const RestorePointEntry& e : model->entries) {
        files.append(e.file);
        notes.append(e.hasNote);
    }
    if (files.isEmpty()) {
        filled = true;
        return;
    }
    reader = new TReader([this, files, notes, lpg = LPGTable, petrol = PetrolTable] {
        QVector<Finding> batch;
        QElapsedTimer since;
        since.start();
        const auto send = [&](bool now) {
            if (batch.isEmpty() || (!now && batch.size() < BatchFindings && since.elapsed() < BatchMilliseconds))
                return;
            QMetaObject::invokeMethod(
                this, [this, batch] { model->Take(batch); }, Qt::QueuedConnection);
            batch.clear();
            since.restart();
        };
        QThread* self = QThread::currentThread();
        for (int i = 0; i < files.size() && !self->isInterruptionRequested(); ++i) {
            if (!notes.at(i))
                continue;
            Finding f;
            f.entry = i;
            f.isNote = true;
            f.note = ReadRestorePointNote(files.at(i));
            batch.append(f);
            send(false);
        }
        send(true);
        for (int i = 0; i < files.size() && !self->isInterruptionRequested(); ++i) {
            Finding f;
            f.entry = i;
            MapTable pointLPG = {};
            MapTable pointPetrol = {};
            try {
                LoadRestorePoint(files.at(i), pointLPG, pointPetrol);
                f.differing = int(DifferingPoints(pointLPG, lpg).size() + DifferingPoints(pointPetrol, petrol).size());
            } catch (const std::exception& e) {
                f.damaged = true;
                f.fault = QString::fromUtf8(e.what());
            }
            batch.append(f);
            send(false);
        }
        send(true);
        QMetaObject::invokeMethod(
            this, [this] { filled = true; }, Qt::QueuedConnection);
    });
    reader->setObjectName(QStringLiteral("HistoryReader"));
    reader->start(QThread::LowPriority);
}

bool THistoryDialog::Filled() const
{
    return filled;
}

const RestorePointEntry* THistoryDialog::Chosen() const
{
    const QModelIndex current = List->currentIndex();
    if (!current.isValid() || !List->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return nullptr;
    const int i = model->EntryOf(current.row());
    if (i < 0 || model->found.at(i).damaged)
        return nullptr;
    return &model->entries.at(i);
}

void THistoryDialog::ChoiceChanged()
{
    const bool usable = Chosen() != nullptr;
    for (QPushButton* b : {OpenButton, OpenLPGButton, OpenPetrolButton, CompareButton})
        b->setEnabled(usable);
    NoteButton->setEnabled(List->currentIndex().isValid());
}

void THistoryDialog::OpenClick(MapChoice choice)
{
    const RestorePointEntry* e = Chosen();
    if (!e)
        return;
    // Read whole before anything changes: a file that no longer opens
    // changes neither map.
    MapTable lpg = LPGTable;
    MapTable petrol = PetrolTable;
    LoadRestorePoint(e->file, lpg, petrol);
    TakeMaps(window, lpg, petrol, choice);
    accept();
}

void THistoryDialog::CompareClick()
{
    const RestorePointEntry* e = Chosen();
    if (!e)
        return;
    MapTable lpg = LPGTable;
    MapTable petrol = PetrolTable;
    LoadRestorePoint(e->file, lpg, petrol);
    SetMapReference(LPGReference, lpg);
    SetMapReference(PetrolReference, petrol);
    ShowReferences(window);
    accept();
}

void THistoryDialog::NoteClick()
{
    const QModelIndex current = List->currentIndex();
    if (!current.isValid())
        return;
    const QModelIndex note = model->index(current.row(), NoteColumn);
    List->setCurrentIndex(note);
    List->edit(note);
}

// "Файл" / "История…"
void TForm2::N20Click()
{
    THistoryDialog dialog(this, HistoryFolder());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
}

// "Файл" / "Открыть как исходную карту…": a map file becomes the reference
// of both maps, all or nothing; the maps stay as they are and no undo step
// is added.
void TForm2::N21Click()
{
    MapTable lpg;
    MapTable petrol;
    if (!AskMapFile(this, lpg, petrol))
        return;
    SetMapReference(LPGReference, lpg);
    SetMapReference(PetrolReference, petrol);
    ShowReferences(this);
}

void SetupHistoryMenu(TForm2* window)
{
    // After "Сохранить" and the separator that ends the file commands.
    const struct {
        QAction** action;
        const char* name;
        const char* caption;
        void (TForm2::*handler)();
    } items[] = {
        {&window->N20, "N20", "История…", &TForm2::N20Click},
        {&window->N21, "N21", "Открыть как исходную карту…", &TForm2::N21Click},
        {&window->N22, "N22", "Открыть только карту газа…", &TForm2::N22Click},
        {&window->N23, "N23", "Открыть только карту бензина…", &TForm2::N23Click},
        {&window->N24, "N24", "Отчёт в PDF…", &TForm2::N24Click},
    };
    for (const auto& item : items) {
        *item.action = window->N1->addAction(QString::fromUtf8(item.caption));
        (*item.action)->setObjectName(QString::fromLatin1(item.name));
        const auto handler = item.handler;
        QObject::connect(*item.action, &QAction::triggered, window,
                         [window, handler] { RunHandler([window, handler] { (window->*handler)(); }); });
    }
}
