#include "mapfile/ui/HistoryDialog.h"

#include "app/core/KeptMaps.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/ui/Gui2.h"
#include "app/ui/Undo.h"
#include "app/widgets/Seams.h"
#include "editors/ui/MapViews.h"
#include "editors/ui/ReferenceView.h"
#include "mapfile/core/MapFile.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace {

enum Column { WhenColumn, KindColumn, PortColumn, FirmwareColumn, DifferColumn, Columns };

// Each list row keeps the index of its entry.
constexpr int EntryRole = Qt::UserRole;

void MakeReference(const MapTable& lpg, const MapTable& petrol)
{
    SetMapReference(LPGReference, lpg);
    SetMapReference(PetrolReference, petrol);
}

} // namespace

THistoryDialog::THistoryDialog(TForm2* window, const QString& folder)
    : QDialog(window)
    , window(window)
    , entries(ListRestorePoints(folder))
{
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("История"));

    List = new QTreeWidget(this);
    List->setObjectName(QStringLiteral("HistoryList"));
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setHeaderLabels({QStringLiteral("Дата и время"), QStringLiteral("Действие"), QStringLiteral("Порт"),
                           QStringLiteral("Прошивка"), QStringLiteral("Отличается точек")});

    auto* buttons = new QDialogButtonBox(this);
    OpenButton = buttons->addButton(QStringLiteral("Открыть"), QDialogButtonBox::ActionRole);
    CompareButton = buttons->addButton(QStringLiteral("Сравнить"), QDialogButtonBox::ActionRole);
    CloseButton = buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    OpenButton->setObjectName(QStringLiteral("HistoryOpen"));
    CompareButton->setObjectName(QStringLiteral("HistoryCompare"));
    CloseButton->setObjectName(QStringLiteral("HistoryClose"));
    // Enter in the list is not "Открыть": loading maps takes a click.
    for (QPushButton* b : {OpenButton, CompareButton, CloseButton})
        b->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List);
    layout->addWidget(buttons);

    connect(OpenButton, &QPushButton::clicked, this, [this] { RunHandler([this] { OpenClick(); }); });
    connect(CompareButton, &QPushButton::clicked, this, [this] { RunHandler([this] { CompareClick(); }); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(List, &QTreeWidget::itemSelectionChanged, this, [this] { ChoiceChanged(); });

    Fill();
    resize(680, 420);
}

void THistoryDialog::Fill()
{
    for (int i = 0; i < entries.size(); ++i) {
        const RestorePointEntry& e = entries.at(i);
        auto* item = new QTreeWidgetItem(List);
        item->setData(WhenColumn, EntryRole, i);
        item->setText(WhenColumn, e.info.when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
        item->setText(KindColumn, e.info.kind == TransferKind::Write ? QStringLiteral("запись") : QStringLiteral("чтение"));
        item->setText(PortColumn, QStringLiteral("COM%1").arg(e.info.port));
        item->setText(FirmwareColumn, e.info.hasFirmware ? QString::number(e.info.firmware) : QString());
        if (e.damaged) {
            item->setText(DifferColumn, QStringLiteral("файл повреждён"));
            for (int c = 0; c < Columns; ++c)
                item->setToolTip(c, e.fault);
        } else {
            item->setText(DifferColumn, QString::number(DifferingPoints(e.lpg, LPGTable).size()
                                                        + DifferingPoints(e.petrol, PetrolTable).size()));
        }
    }
    for (int c = 0; c < Columns; ++c)
        List->resizeColumnToContents(c);
    if (QTreeWidgetItem* first = List->topLevelItem(0))
        List->setCurrentItem(first);
    ChoiceChanged();
}

const RestorePointEntry* THistoryDialog::Chosen() const
{
    const QTreeWidgetItem* item = List->currentItem();
    if (!item || !item->isSelected())
        return nullptr;
    const int i = item->data(WhenColumn, EntryRole).toInt();
    if (i < 0 || i >= entries.size() || entries.at(i).damaged)
        return nullptr;
    return &entries.at(i);
}

void THistoryDialog::ChoiceChanged()
{
    const bool usable = Chosen() != nullptr;
    OpenButton->setEnabled(usable);
    CompareButton->setEnabled(usable);
}

void THistoryDialog::OpenClick()
{
    const RestorePointEntry* e = Chosen();
    if (!e)
        return;
    {
        const MapStep step(window, QStringLiteral("Открыть"));
        std::copy(std::begin(e->lpg.Uoz), std::end(e->lpg.Uoz), std::begin(LPGTable.Uoz));
        std::copy(std::begin(e->petrol.Uoz), std::end(e->petrol.Uoz), std::begin(PetrolTable.Uoz));
        MakeReference(LPGTable, PetrolTable);
        KeepMaps(LPGTable, PetrolTable);
        RefreshAllViews(window);
    }
    accept();
}

void THistoryDialog::CompareClick()
{
    const RestorePointEntry* e = Chosen();
    if (!e)
        return;
    MakeReference(e->lpg, e->petrol);
    ShowReferences(window);
    accept();
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
    QFileDialog* dialog = OpenDialog(this);
    dialog->setNameFilter(MapFileFilter);
    QString fileName;
    if (!ExecuteFileDialog(dialog, fileName))
        return;
    MapTable lpg = LPGTable;
    MapTable petrol = PetrolTable;
    LoadMapFile(fileName, lpg, petrol);
    MakeReference(lpg, petrol);
    ShowReferences(this);
}

void SetupHistoryMenu(TForm2* window)
{
    // After "Сохранить" and the separator that ends the file commands.
    window->N20 = window->N1->addAction(QStringLiteral("История…"));
    window->N20->setObjectName(QStringLiteral("N20"));
    window->N21 = window->N1->addAction(QStringLiteral("Открыть как исходную карту…"));
    window->N21->setObjectName(QStringLiteral("N21"));
    QObject::connect(window->N20, &QAction::triggered, window,
                     [window] { RunHandler([window] { window->N20Click(); }); });
    QObject::connect(window->N21, &QAction::triggered, window,
                     [window] { RunHandler([window] { window->N21Click(); }); });
}
