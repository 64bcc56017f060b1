#pragma once

#include <QMainWindow>
#include <QString>

#include "app/widgets/Controls.h"
#include "device/core/ConnectionLoop.h"
#include "editors/ui/MapViews.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QLineSeries;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QUndoStack;
class TChart;
class TStringGrid;

// The main window.
class TForm2 : public QMainWindow {
    Q_OBJECT
public:
    TForm2();

    // Design client size and page size, in pixels at 96 dpi.
    static constexpr int DesignWidth = 1098;
    static constexpr int DesignHeight = 643;
    static constexpr int PageWidth = 1090;
    static constexpr int PageHeight = 479;

    QWidget* ClientArea;

    // Top area
    QPushButton* WriteData;
    QPushButton* ReadData;
    QProgressBar* ProgressBar1;
    TLabel* Label1;
    TLabel* LabelProgress;
    QComboBox* ComboBox1;
    QLabel* Label2;
    QPushButton* Button1;
    QTabWidget* PageControl1;

    // Pages
    QWidget* TabSheetVariatorSettings;
    QWidget* TabSheetLPGmap;
    QWidget* TabSheetUOZGrid;
    QWidget* TabSheetPetrolmap;
    QWidget* TabSheetPetrolGrid;

    // Variator settings page
    TLabel* LabelVariatorStartTimeout;
    QLineEdit* EEditVariatorStartTimeout;
    TUpDown* UpDownTimeout;
    TLabel* SignalInversionLabel;
    QCheckBox* SignalInversionCheckBox;
    TLabel* Label3;
    QLineEdit* MicroCodeVersionEdit;
    // "Автомобиль": free text that names the car; it becomes the note of
    // every restore point of the visit (app/core/Visit.h). Empty at start.
    TLabel* CarNoteLabel;
    QLineEdit* CarNoteEdit;

    // Chart pages
    TChart* ChartLPG;
    QLineSeries* LineSeries1;
    QCheckBox* LPGSpeedCheckBox;
    QCheckBox* LPGScaleCheckBox;
    QCheckBox* LPGFulMapMoveCheckBox;
    TChart* ChartPetrol;
    QLineSeries* Series1;
    QCheckBox* PetrolFulMapMoveCheckBox;
    QCheckBox* PetrolScaleCheckBox;
    QCheckBox* PetrolSpeedCheckBox;
    // The point under the pointer or the selected run, in words
    // (editors/ui/ChartEditor).
    QLabel* LPGReadoutLabel = nullptr;
    QLabel* PetrolReadoutLabel = nullptr;

    // Table pages
    TStringGrid* StringGridLPG;
    TStringGrid* StringGridPetrol;

    // Each map's chart, check boxes, grid, table and editor state.
    MapViews LPGViews;
    MapViews PetrolViews;

    // Menu bar
    QMenuBar* MainMenu;
    QMenu* N8;
    QAction* N9;
    QAction* N10;
    QAction* N4;
    QAction* N11;
    QAction* N13;
    QAction* N12;
    QMenu* N1;
    QAction* N2;
    QAction* N3;
    QAction* N7;
    QAction* N5;
    QAction* N6;
    // "Правка": undo and redo of the map store
    QMenu* N14;
    QAction* N15;
    QAction* N16;
    QUndoStack* UndoStack;
    // "Вид": whether the maps' references are shown
    QMenu* N17 = nullptr;
    QAction* N18 = nullptr;
    // "Подключение" / "Сравнить с вариатором"
    QAction* N19 = nullptr;
    // "Правка": the clipboard, the range operations, one map copied to the
    // other (editors/ui/RangeCommands)
    QAction* N30 = nullptr;
    QAction* N31 = nullptr;
    QAction* N32 = nullptr;
    QAction* N33 = nullptr;
    QAction* N34 = nullptr;
    QAction* N35 = nullptr;
    QAction* N36 = nullptr;
    QAction* N37 = nullptr;
    QAction* N38 = nullptr;
    QAction* N39 = nullptr;
    QAction* N40 = nullptr;
    QAction* N41 = nullptr;
    // "Подключение" / "Записать изменения", "Записывать изменения сразу"
    // (device/ui/Transfer)
    QAction* N50 = nullptr;
    QAction* N51 = nullptr;
    // "Прервать" beside the progress bar, shown while a transfer runs
    QPushButton* StopTransferButton = nullptr;
    // "Файл" / "История…" and "Открыть как исходную карту…"
    QAction* N20 = nullptr;
    QAction* N21 = nullptr;
    // "Файл" / "Открыть только карту газа…", "Открыть только карту
    // бензина…", "Отчёт в PDF…"
    QAction* N22 = nullptr;
    QAction* N23 = nullptr;
    QAction* N24 = nullptr;

    // Null until OpenDialog / SaveDialog first builds them.
    QFileDialog* OpenDialog1;
    QFileDialog* SaveDialog1;
    // The save dialog of "Отчёт в PDF…", null until first used.
    QFileDialog* ReportDialog1 = nullptr;

    // Event handlers
    void FormShow();
    void FormClose();
    void Button1Click();
    void ReadDataClick();
    void WriteDataClick();
    void N9Click();
    void N4Click();
    void N12Click();
    void N19Click();
    void N50Click();
    void N20Click();
    void N21Click();
    void N22Click();
    void N23Click();
    void N24Click();
    void N2Click();
    void N3Click();
    void PageControl1Change();
    void ChartLPGKeyDown(int key);
    void ChartLPGClickSeries(int valueIndex, Qt::MouseButton button);
    void ChartLPGMouseEnter();
    void ChartLPGMouseLeave();
    void ChartPetrolKeyDown(int key);
    void ChartPetrolClickSeries(int valueIndex, Qt::MouseButton button);
    void ChartPetrolMouseEnter();
    void ChartPetrolMouseLeave();
    void LPGScaleCheckBoxClick();
    void PetrolScaleCheckBoxClick();
    void StringGridLPGSelectCell(int col, int row, bool& canSelect);
    void StringGridLPGKeyDown(int key);
    void StringGridPetrolSelectCell(int col, int row, bool& canSelect);
    void StringGridPetrolKeyDown(int key);
    void EEditVariatorStartTimeoutChange();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildTopArea();
    void BuildSettingsPage();
    void BuildChartPages();
    void BuildGridPages();
    void BuildMenu();
    void WireEvents();
};

// The one main window.
extern TForm2* Form2;

// Label2's captions; a transfer may start only while it reads the first.
extern const QString ConnectedCaption, DisconnectedCaption;  // "Подключен", "Не подключен"
// Shows the connection state in Label2: "connected" (green ConnectedCaption)
// or "disconnected" (red DisconnectedCaption); any other key changes nothing.
void SetConnectionStatus(TForm2* window, const QString& key);
// The same for a state: the one writer of Label2's caption after the
// window's construction.
void SetConnectionStatus(TForm2* window, ConnectionStatus status);

// Fills both maps with the template values: LPG 9.0, petrol 2.0 degrees.
void FillTemplate(TForm2* window);

// Repaints a control at once, while the event loop is not running.
void RepaintNow(QWidget* widget);
// The window's file dialogs, built on first use and kept.
QFileDialog* OpenDialog(TForm2* window);
QFileDialog* SaveDialog(TForm2* window);
