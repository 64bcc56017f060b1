#include "app/ui/Gui2.h"

#include "app/widgets/Anchors.h"
#include "app/ui/CloseQuestion.h"
#include "app/core/KeptMaps.h"
#include "editors/core/PointText.h"
#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "device/core/Dataextractor.h"
#include "device/ui/DeviceCommands.h"
#include "device/ui/TransferRun.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/widgets/Seams.h"
#include "editors/widgets/StringGrid.h"
#include "editors/ui/RangeCommands.h"
#include "editors/ui/ReferenceView.h"
#include "mapfile/ui/MapFileCommands.h"
#include "app/ui/Undo.h"
#include "app/ui/VisitHooks.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>

TForm2* Form2 = nullptr;

namespace {

const QSize WindowDesign(TForm2::DesignWidth, TForm2::DesignHeight);
const QSize PageDesign(TForm2::PageWidth, TForm2::PageHeight);

TCheckBox* MakeCheckBox(QWidget* parent, const QString& text, bool checked)
{
    auto* box = new TCheckBox(text, parent);
    box->setChecked(checked);
    return box;
}

void SetLabelColour(QLabel* label, const QColor& background)
{
    QPalette p = label->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
}

// A short line on what a control does, and its keys.
void SetToolTips(TForm2* w)
{
    const QString speed = QStringLiteral("Шаг %1 для ↑/↓ и перетаскивания точек; снят: %2")
                              .arg(DegreesText(FastStep), DegreesText(FineStep));
    const QString fullMap =
        QStringLiteral("↑/↓ и перетаскивание двигают всю карту; снят: выбранные точки (←/→, щелчок, Shift)");
    const QString scale = QStringLiteral("Ось УОЗ от %1; снят: от %2").arg(DegreesText(-AdvanceAxisTop), DegreesText(0));
    const struct {
        QWidget* widget;
        QString tip;
    } tips[] = {
        {w->WriteData, QStringLiteral("Записать обе карты и тайм-аут старта в вариатор, проверяя каждую точку")},
        {w->ReadData, QStringLiteral("Прочитать обе карты, тайм-аут старта и версию из вариатора")},
        {w->Button1, QStringLiteral("Заполнить обе карты шаблоном: газ %1, бензин %2")
                         .arg(DegreesText(LPGTemplateAdvance), DegreesText(PetrolTemplateAdvance))},
        {w->ComboBox1, QStringLiteral("Номер COM-порта; «Подключение» → «Автовыбор» находит его сам")},
        {w->LPGSpeedCheckBox, speed},
        {w->PetrolSpeedCheckBox, speed},
        {w->LPGFulMapMoveCheckBox, fullMap},
        {w->PetrolFulMapMoveCheckBox, fullMap},
        {w->LPGScaleCheckBox, scale},
        {w->PetrolScaleCheckBox, scale},
    };
    for (const auto& t : tips)
        t.widget->setToolTip(t.tip);
}

}  // namespace

// ---------------------------------------------------------------------------

TForm2::TForm2()
{
    // 1. The window and its controls.
    setWindowTitle(QStringLiteral("Tarvo GUI"));
    setFont(WindowFont());

    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(ClientArea);
    ClientArea->resize(WindowDesign);

    BuildMenu();
    BuildTopArea();
    BuildSettingsPage();
    BuildChartPages();
    BuildGridPages();
    // Captions never cut: each control as wide as its caption needs.
    FitCaptions(ClientArea);

    // OpenDialog1 and SaveDialog1 are built on first use (OpenDialog,
    // SaveDialog): the two file dialogs would cost more start-up time than
    // the whole rest of the window.
    OpenDialog1 = nullptr;
    SaveDialog1 = nullptr;

    // Keyboard order among the window's direct controls.
    setTabOrder(Button1, ReadData);
    setTabOrder(ReadData, WriteData);
    setTabOrder(WriteData, ComboBox1);
    setTabOrder(EEditVariatorStartTimeout, UpDownTimeout);
    setTabOrder(UpDownTimeout, SignalInversionCheckBox);
    setTabOrder(SignalInversionCheckBox, MicroCodeVersionEdit);
    setTabOrder(MicroCodeVersionEdit, CarNoteEdit);

    resize(DesignWidth, DesignHeight + MainMenu->sizeHint().height());
    move(0, 0);

    // 2. The map store.
    InitMapStore();
    ClearMapReferences();
    KeepMaps(LPGTable, PetrolTable);

    // 3., 4. The port box: text "0", the listed port numbers.
    ComboBox1->setEditText(QStringLiteral("0"));
    for (int n = FirstListedPort; n <= LastListedPort; ++n)
        ComboBox1->addItem(QString::number(n));
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("0"));

    // 5. The status label: red "Не подключен", still hidden.
    SetLabelColour(Label2, QColor(255, 0, 0));
    Label2->setText(DisconnectedCaption);

    // What the device link reports is shown in message boxes.
    SetMessageSink(ShowMessage);

    BuildMapViews(this);
    WireEvents();
    SetupUndo(this);
    SetupChartPointer(this);
    SetToolTips(this);
    SetupRangeCommands(this);
    SetupReferenceView(this);
    SetupMapFileMenu(this);
    SetupTransferControls(this);
    SetupChangeWriting(this);
    SetupVisitHooks(this);
}

void TForm2::BuildTopArea()
{
    QWidget* c = ClientArea;
    WriteData = Place(new TButton(QStringLiteral("Запись данных в вариатор"), c), 13, 6, 164, 25,
                      Anchor::LeftTop, WindowDesign);
    ReadData = Place(new TButton(QStringLiteral("Чтение данных из вариатора"), c), 13, 37, 164, 25,
                     Anchor::LeftTop, WindowDesign);
    ProgressBar1 = Place(new QProgressBar(c), 217, 48, 537, 17, Anchor::LeftTop, WindowDesign);
    ProgressBar1->setRange(0, 79);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    ProgressBar1->hide();
    Label1 = Place(new TLabel(QStringLiteral("Выберите номер COM порта"), c), 331, 0, 142, 13, Anchor::None,
                   WindowDesign);
    LabelProgress = Place(new TLabel(QStringLiteral("Выберите номер ком порта"), c), 416, 29, 137, 13,
                          Anchor::LeftTop, WindowDesign);
    LabelProgress->hide();
    ComboBox1 = Place(new QComboBox(c), 491, 0, 41, 21, Anchor::None, WindowDesign);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMaxVisibleItems(20);
    Label2 = Place(new QLabel(c), 556, 0, 101, 18, Anchor::None, WindowDesign);
    Label2->setFixedSize(101, 18);
    Label2->setAutoFillBackground(true);
    Label2->hide();
    Button1 = Place(new TButton(QStringLiteral("Шаблон данных"), c), 925, 18, 115, 25, Anchor::None,
                    WindowDesign);
    PageControl1 = Place(new QTabWidget(c), 0, 74, 1098, 507, Anchor::All, WindowDesign);
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    PageControl1->setUsesScrollButtons(true);
    PageControl1->setElideMode(Qt::ElideNone);

    const struct {
        QWidget** page;
        const char* name;
        QString caption;
    } pages[] = {
        {&TabSheetVariatorSettings, "TabSheetVariatorSettings", QStringLiteral("Настройки вариатора")},
        {&TabSheetLPGmap, "TabSheetLPGmap", QString::fromUtf8(LPGMapTitle)},
        {&TabSheetUOZGrid, "TabSheetUOZGrid", QStringLiteral("Таблица УОЗ для газа")},
        {&TabSheetPetrolmap, "TabSheetPetrolmap", QString::fromUtf8(PetrolMapTitle)},
        {&TabSheetPetrolGrid, "TabSheetPetrolGrid", QStringLiteral("Таблица УОЗ для бензина")},
    };
    for (const auto& p : pages) {
        *p.page = new QWidget;
        (*p.page)->setObjectName(QString::fromLatin1(p.name));
        (*p.page)->resize(PageDesign);
        PageControl1->addTab(*p.page, p.caption);
    }
    PageControl1->setCurrentIndex(1);
}

void TForm2::BuildSettingsPage()
{
    QWidget* p = TabSheetVariatorSettings;
    LabelVariatorStartTimeout = Place(new TLabel(QStringLiteral("Время до включения вариатора"), p), 24, 56,
                                      163, 13, Anchor::LeftTop, PageDesign);
    EEditVariatorStartTimeout = Place(new QLineEdit(QStringLiteral("0"), p), 224, 53, 25, 21, Anchor::LeftTop,
                                      PageDesign);
    UpDownTimeout = Place(new TUpDown(p, EEditVariatorStartTimeout, 0, 100, 0), 249, 53, 16, 21,
                          Anchor::LeftTop, PageDesign);
    SignalInversionLabel = Place(new TLabel(QStringLiteral("Инверсия сигнала"), p), 24, 104, 91, 13,
                                 Anchor::LeftTop, PageDesign);
    SignalInversionCheckBox = Place(new QCheckBox(p), 224, 103, 25, 17, Anchor::LeftTop, PageDesign);
    Label3 = Place(new TLabel(QStringLiteral("Версия прошивки"), p), 24, 160, 88, 13, Anchor::LeftTop,
                   PageDesign);
    MicroCodeVersionEdit = Place(new QLineEdit(QStringLiteral("0"), p), 224, 152, 81, 21, Anchor::LeftTop,
                                 PageDesign);
    // Below the variator's own settings, in their columns.
    CarNoteLabel = Place(new TLabel(QStringLiteral("Автомобиль"), p), 24, 208, 61, 13, Anchor::LeftTop, PageDesign);
    CarNoteEdit = Place(new QLineEdit(p), 224, 205, 337, 21, Anchor::LeftTop, PageDesign);
    CarNoteEdit->setObjectName(QStringLiteral("CarNoteEdit"));
    CarNoteEdit->setAccessibleName(QStringLiteral("Автомобиль"));
    CarNoteEdit->setPlaceholderText(QStringLiteral("модель, номер, владелец"));
    CarNoteLabel->setBuddy(CarNoteEdit);
}

void TForm2::BuildChartPages()
{
    // The check boxes are created after their chart, so they lie on top of it.
    QWidget* p = TabSheetLPGmap;
    ChartLPG = Place(new TChart(p), -3, 0, 1097, 479, Anchor::All, PageDesign);
    LineSeries1 = SetupMapChart(ChartLPG, QString::fromUtf8(LPGMapTitle), MarkerStyle::Diamond);
    LPGSpeedCheckBox = Place(MakeCheckBox(p, QStringLiteral("Быстрое изменение"), true), 940, 9, 121, 17,
                             Anchor::None, PageDesign);
    LPGScaleCheckBox = Place(MakeCheckBox(p, QStringLiteral("Отрицательные значения"), false), 64, 12, 153, 17,
                             Anchor::LeftTop, PageDesign);
    LPGFulMapMoveCheckBox = Place(MakeCheckBox(p, QStringLiteral("Двигать всю карту"), true), 771, 9, 121, 17,
                                  Anchor::None, PageDesign);
    LPGReadoutLabel = Place(new QLabel(p), 230, 12, 250, 17, Anchor::LeftTop, PageDesign);
    setTabOrder(ChartLPG, LPGSpeedCheckBox);
    setTabOrder(LPGSpeedCheckBox, LPGScaleCheckBox);
    setTabOrder(LPGScaleCheckBox, LPGFulMapMoveCheckBox);

    p = TabSheetPetrolmap;
    ChartPetrol = Place(new TChart(p), -4, 0, 1091, 476, Anchor::All, PageDesign);
    Series1 = SetupMapChart(ChartPetrol, QString::fromUtf8(PetrolMapTitle), MarkerStyle::Hexagon);
    PetrolFulMapMoveCheckBox = Place(MakeCheckBox(p, QStringLiteral("Двигать всю карту"), true), 772, 10, 129,
                                     17, Anchor::None, PageDesign);
    PetrolScaleCheckBox = Place(MakeCheckBox(p, QStringLiteral("Отрицательные значения"), false), 65, 13, 160,
                                17, Anchor::LeftTop, PageDesign);
    PetrolSpeedCheckBox = Place(MakeCheckBox(p, QStringLiteral("Быстрое изменение"), true), 941, 10, 121, 17,
                                Anchor::None, PageDesign);
    PetrolReadoutLabel = Place(new QLabel(p), 231, 13, 250, 17, Anchor::LeftTop, PageDesign);
    setTabOrder(ChartPetrol, PetrolFulMapMoveCheckBox);
    setTabOrder(PetrolFulMapMoveCheckBox, PetrolScaleCheckBox);
    setTabOrder(PetrolScaleCheckBox, PetrolSpeedCheckBox);
}

void TForm2::BuildGridPages()
{
    StringGridLPG = Place(new TStringGrid(TabSheetUOZGrid), 0, 0, 1088, 475, Anchor::All, PageDesign);
    StringGridPetrol = Place(new TStringGrid(TabSheetPetrolGrid), 0, 0, 1088, 483, Anchor::All, PageDesign);
}

void TForm2::BuildMenu()
{
    MainMenu = menuBar();
    N8 = MainMenu->addMenu(QStringLiteral("Подключение"));
    N8->setSeparatorsCollapsible(true);
    N9 = N8->addAction(QStringLiteral("Подключиться"));
    N10 = N8->addSeparator();
    N4 = N8->addAction(QStringLiteral("Автовыбор"));
    N11 = N8->addSeparator();
    N13 = N8->addSeparator();
    N12 = N8->addAction(QStringLiteral("Отключиться"));
    N1 = MainMenu->addMenu(QStringLiteral("Файл"));
    N1->setSeparatorsCollapsible(true);
    N2 = N1->addAction(QStringLiteral("Открыть"));
    N3 = N1->addAction(QStringLiteral("Сохранить"));
    N7 = N1->addSeparator();
    // Menus without items: they open no drop-down and run nothing.
    N5 = MainMenu->addAction(QStringLiteral("Обновление"));
    N6 = MainMenu->addAction(QStringLiteral("Справка"));

    const struct {
        QObject* object;
        const char* name;
    } names[] = {
        {N8, "N8"},
        {N9, "N9"},
        {N10, "N10"},
        {N4, "N4"},
        {N11, "N11"},
        {N13, "N13"},
        {N12, "N12"},
        {N1, "N1"},
        {N2, "N2"},
        {N3, "N3"},
        {N7, "N7"},
        {N5, "N5"},
        {N6, "N6"},
    };
    for (const auto& n : names)
        n.object->setObjectName(QString::fromLatin1(n.name));
}

void TForm2::WireEvents()
{
    // Each handler runs under RunHandler: an exception that escapes it is shown
    // in the error box and the program goes on. Menu items and buttons run
    // their handlers from Qt's own signals, which allow a modal loop inside
    // them; the handlers' messages open there, in the order the commands
    // give them.
    auto on = [this](auto handler) { return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); }; };
    // Handlers called from inside a widget's own event code (keys, clicks,
    // cell moves, page and text changes) run under RunEventHandler: the widget
    // learns of a failure at once, and the error box opens after the event.
    auto inEvent = [this](auto handler) {
        return [this, handler] { RunEventHandler([this, handler] { (this->*handler)(); }); };
    };

    connect(Button1, &QPushButton::clicked, this, on(&TForm2::Button1Click));
    connect(ReadData, &QPushButton::clicked, this, on(&TForm2::ReadDataClick));
    connect(WriteData, &QPushButton::clicked, this, on(&TForm2::WriteDataClick));
    connect(N9, &QAction::triggered, this, on(&TForm2::N9Click));
    connect(N4, &QAction::triggered, this, on(&TForm2::N4Click));
    connect(N12, &QAction::triggered, this, on(&TForm2::N12Click));
    connect(N2, &QAction::triggered, this, on(&TForm2::N2Click));
    connect(N3, &QAction::triggered, this, on(&TForm2::N3Click));
    connect(PageControl1, &QTabWidget::currentChanged, this, inEvent(&TForm2::PageControl1Change));
    connect(LPGScaleCheckBox, &QCheckBox::toggled, this, inEvent(&TForm2::LPGScaleCheckBoxClick));
    connect(PetrolScaleCheckBox, &QCheckBox::toggled, this, inEvent(&TForm2::PetrolScaleCheckBoxClick));
    // Also reached from the spinner's buttons and keys, through the text it writes.
    connect(EEditVariatorStartTimeout, &QLineEdit::textChanged, this,
            inEvent(&TForm2::EEditVariatorStartTimeoutChange));
    connect(MicroCodeVersionEdit, &QLineEdit::textChanged, this, inEvent(&TForm2::EEditVariatorStartTimeoutChange));

    ChartLPG->OnKeyDown = [this](int key) { RunEventHandler([&] { ChartLPGKeyDown(key); }); };
    ChartLPG->OnClickSeries = [this](int index, Qt::MouseButton button) {
        RunEventHandler([&] { ChartLPGClickSeries(index, button); });
    };
    ChartLPG->OnMouseEnter = [this] { RunEventHandler([&] { ChartLPGMouseEnter(); }); };
    ChartLPG->OnMouseLeave = [this] { RunEventHandler([&] { ChartLPGMouseLeave(); }); };
    ChartPetrol->OnKeyDown = [this](int key) { RunEventHandler([&] { ChartPetrolKeyDown(key); }); };
    ChartPetrol->OnClickSeries = [this](int index, Qt::MouseButton button) {
        RunEventHandler([&] { ChartPetrolClickSeries(index, button); });
    };
    ChartPetrol->OnMouseEnter = [this] { RunEventHandler([&] { ChartPetrolMouseEnter(); }); };
    ChartPetrol->OnMouseLeave = [this] { RunEventHandler([&] { ChartPetrolMouseLeave(); }); };

    // A select-cell handler that ends with an exception stops the move; a
    // key-down handler that ends with one stops the key there, as the
    // exception would.
    StringGridLPG->OnSelectCell = [this](int col, int row, bool& canSelect) {
        if (!RunEventHandler([&] { StringGridLPGSelectCell(col, row, canSelect); }))
            canSelect = false;
    };
    StringGridLPG->OnKeyDown = [this](int key) { return RunEventHandler([&] { StringGridLPGKeyDown(key); }); };
    StringGridPetrol->OnSelectCell = [this](int col, int row, bool& canSelect) {
        if (!RunEventHandler([&] { StringGridPetrolSelectCell(col, row, canSelect); }))
            canSelect = false;
    };
    StringGridPetrol->OnKeyDown = [this](int key) { return RunEventHandler([&] { StringGridPetrolKeyDown(key); }); };
}

void TForm2::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        RunHandler([this] { FormShow(); });
}

void TForm2::closeEvent(QCloseEvent* event)
{
    // A transfer ends first, after its exchange in flight; the window is
    // closed again once it has, and asks as usual then.
    if (DeferCloseForTransfer()) {
        event->ignore();
        return;
    }
    // Unsaved maps are asked about first; the answer may keep the window.
    if (!MayCloseWindow(this)) {
        event->ignore();
        return;
    }
    RunHandler([this] { FormClose(); });
    event->accept();
}

void TForm2::FormShow()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The window's outer frame covers the work area exactly.
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const int frameWidth = frame.width() - inner.width();
    const int frameHeight = frame.height() - inner.height();
    resize(area.width() - frameWidth, area.height() - frameHeight);
    move(area.topLeft());
    if (layout())
        layout()->activate();
    PageControl1->resize(area.width() - 15, area.height() - 130);
    RebaseAnchors(PageControl1);
}

void TForm2::EEditVariatorStartTimeoutChange()
{
}

// ---------------------------------------------------------------------------

const QString ConnectedCaption = QStringLiteral("Подключен");
const QString DisconnectedCaption = QStringLiteral("Не подключен");

void SetConnectionStatus(TForm2* window, const QString& key)
{
    ConnectionStatus status;
    if (StatusOfKey(key, &status))
        SetConnectionStatus(window, status);
}

void SetConnectionStatus(TForm2* window, ConnectionStatus status)
{
    const bool connected = status == ConnectionStatus::Connected;
    SetLabelColour(window->Label2, connected ? QColor(0, 128, 0) : QColor(255, 0, 0));
    window->Label2->setText(connected ? ConnectedCaption : DisconnectedCaption);
    window->Label2->setVisible(true);
    VisitConnectionChanged(window, connected);
}

void FillTemplate(TForm2* window)
{
    (void)window;
    FillTemplateMaps();
}

QFileDialog* OpenDialog(TForm2* window)
{
    if (!window->OpenDialog1) {
        window->OpenDialog1 = new QFileDialog(window);
        window->OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
        window->OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
        window->OpenDialog1->setFileMode(QFileDialog::ExistingFile);
        window->OpenDialog1->setDefaultSuffix(QStringLiteral("xml"));
    }
    return window->OpenDialog1;
}

QFileDialog* SaveDialog(TForm2* window)
{
    if (!window->SaveDialog1) {
        window->SaveDialog1 = new QFileDialog(window);
        window->SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
        window->SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
        window->SaveDialog1->setFileMode(QFileDialog::AnyFile);
        window->SaveDialog1->setDefaultSuffix(QStringLiteral("xml"));
    }
    return window->SaveDialog1;
}

void RepaintNow(QWidget* widget)
{
    widget->repaint();
}
