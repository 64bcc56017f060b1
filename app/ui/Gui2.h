#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QString>

#include "editors/ui/MapViews.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QLineSeries;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QUndoStack;
class QToolButton;
class TChart;
class TStringGrid;

// A self-sizing label: whenever its caption or its font changes, it takes
// the caption's width plus two pixels, keeping its left edge, top and height.
// The caption is set through TLabel::setText (a call through a QLabel
// pointer would not resize the label).
class TLabel : public QLabel {
    Q_OBJECT
public:
    TLabel(const QString& caption, QWidget* parent);
    void setText(const QString& caption);
    // Fits the width to the caption.
    void FitCaption();
    void setVisible(bool visible) override;

protected:
    void changeEvent(QEvent* event) override;
};

// The window's font: Tahoma 8 pt. A Tahoma installed on the system comes
// first, else the one that Wine's fonts bring (Debian fonts-wine), else a
// sans face of similar width.
QFont WindowFont();

// Up-down spinner attached to an edit box: each click, and the Up and Down
// keys in the box, step from the box's current integer (held within the
// range; text that is not an integer counts as the last position) and write
// the new position into the edit box.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QWidget* parent, QLineEdit* associate, int min, int max, int position);
    int Position() const { return position; }
    void SetPosition(int value);
    // One step up (+1) or down (-1) from the box's current integer.
    void Step(int delta);
    QToolButton* UpButton;
    QToolButton* DownButton;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* associate;
    int min, max, position;
};

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

    // Null until OpenDialog / SaveDialog first builds them.
    QFileDialog* OpenDialog1;
    QFileDialog* SaveDialog1;

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

// Shows the connection state in Label2: "connected" (green "Подключен") or
// "disconnected" (red "Не подключен"); any other key changes nothing.
void SetConnectionStatus(TForm2* window, const QString& key);

// Fills both maps with the template values: LPG 9.0, petrol 2.0 degrees.
void FillTemplate(TForm2* window);

// Repaints a control at once, while the event loop is not running.
void RepaintNow(QWidget* widget);
// The window's file dialogs, built on first use and kept.
QFileDialog* OpenDialog(TForm2* window);
QFileDialog* SaveDialog(TForm2* window);
