#include "mapfile/ui/HistoryDialog.h"

#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/core/Visit.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "editors/ui/ReferenceView.h"
#include "mapfile/ui/HistoryModel.h"
#include "mapfile/ui/HistoryReader.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>
#include <memory>

THistoryDialog::THistoryDialog(TForm2* form, const QString& folder)
    : QDialog(form)
    , form(form)
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
    // A visit's row unfolds to its restore points.
    List->setRootIsDecorated(true);
    List->setUniformRowHeights(true);
    List->setItemsExpandable(true);
    List->setAllColumnsShowFocus(true);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    List->setModel(model);
    // Widths from the texts the columns hold, not from every row.
    const QFontMetrics metrics(List->font());
    const int pad = 3 * metrics.averageCharWidth();
    // The car before the visit's before and after, which is last and takes
    // the rest; the date leaves room for a visit's unfolding.
    const QString widest[] = {QStringLiteral("00.00.0000 00:00:00"), QStringLiteral("сравнение"),
                              QStringLiteral("COM0000"), QStringLiteral("Прошивка"),
                              QStringLiteral("Отличается точек"), QStringLiteral("Golf А123ВС, Иванов И. И.")};
    for (int c = 0; c < THistoryModel::VisitColumn; ++c)
        List->setColumnWidth(c, metrics.horizontalAdvance(widest[c]) + pad
                                    + (c == THistoryModel::WhenColumn ? 2 * List->indentation() : 0));
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
            [this, keptEntry] { *keptEntry = model->EntryAt(List->currentIndex()); });
    connect(model, &QAbstractItemModel::modelReset, this, [this, keptEntry] {
        const QModelIndex kept = model->IndexOfEntry(*keptEntry);
        if (kept.isValid())
            List->setCurrentIndex(kept);
        ChoiceChanged();
    });
    connect(SearchEdit, &QLineEdit::textChanged, this, [this](const QString& text) { model->SetSearch(text); });

    // The newest row and the visit going on now show their restore points.
    if (model->rowCount() > 0)
        List->expand(model->index(0, 0));
    for (int r = 0; r < model->rowCount() && !CurrentVisit.id.isEmpty(); ++r)
        if (model->groups.at(model->shown.at(r)).visit == CurrentVisit.id) {
            List->expand(model->index(r, 0));
            break;
        }
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
    reader = StartHistoryReader(
        this, files, notes, model->VisitPairs(), LPGTable, PetrolTable, [this](const QVector<Finding>& batch) { model->Take(batch); },
        [this] { filled = true; });
}

bool THistoryDialog::Filled() const
{
    return filled;
}

const RestorePointEntry* THistoryDialog::Chosen() const
{
    const QModelIndex current = List->currentIndex();
    if (!current.isValid() || !List->selectionModel()->isRowSelected(current.row(), current.parent()))
        return nullptr;
    const int i = model->EntryAt(current);
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
    TakeMaps(form, lpg, petrol, choice);
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
    ShowReferences(form);
    accept();
}

void THistoryDialog::NoteClick()
{
    const QModelIndex current = List->currentIndex();
    if (!current.isValid())
        return;
    const QModelIndex note = model->index(current.row(), THistoryModel::NoteColumn, current.parent());
    List->setCurrentIndex(note);
    List->edit(note);
}

