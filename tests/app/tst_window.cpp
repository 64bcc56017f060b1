#include "app/widgets/Anchors.h"
#include "editors/core/PointText.h"
#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "app/ui/Gui2.h"
#include "app/core/MapStore.h"
#include "app/widgets/Seams.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/TarvoApplication.h"
#include "common/DialogAnswerer.h"
#include "common/WindowTestBase.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QToolButton>
#include <stdexcept>

class TestWindow : public QObject, public WindowTestBase {
    Q_OBJECT

private slots:
    void init() { StartWindow(); }
    void cleanup() { EndWindow(); }

    // Every control of the design on its parent, shown or hidden at start,
    // with its caption, text or tick. Where the controls lie is checked by
    // the rule that they stay inside their parent and apart
    // (captionsWholeAndApart), not place by place.
    void controlsOfTheDesign_data()
    {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("checked");
        const QString top = QStringLiteral("ClientArea"), settings = QStringLiteral("TabSheetVariatorSettings"),
                      lpg = QStringLiteral("TabSheetLPGmap"), petrol = QStringLiteral("TabSheetPetrolmap");
        QTest::newRow("WriteData") << top << true << "Запись данных в вариатор" << false;
        QTest::newRow("ReadData") << top << true << "Чтение данных из вариатора" << false;
        QTest::newRow("ProgressBar1") << top << false << "" << false;
        QTest::newRow("Label1") << top << true << "Выберите номер COM порта" << false;
        QTest::newRow("LabelProgress") << top << false << "Выберите номер ком порта" << false;
        QTest::newRow("ComboBox1") << top << true << "0" << false;
        QTest::newRow("Label2") << top << false << DisconnectedCaption << false;
        QTest::newRow("Button1") << top << true << "Шаблон данных" << false;
        QTest::newRow("PageControl1") << top << true << "" << false;
        QTest::newRow("LabelVariatorStartTimeout") << settings << true << "Время до включения вариатора" << false;
        QTest::newRow("EEditVariatorStartTimeout") << settings << true << "0" << false;
        QTest::newRow("UpDownTimeout") << settings << true << "" << false;
        QTest::newRow("SignalInversionLabel") << settings << true << "Инверсия сигнала" << false;
        QTest::newRow("SignalInversionCheckBox") << settings << true << "" << false;
        QTest::newRow("Label3") << settings << true << "Версия прошивки" << false;
        QTest::newRow("MicroCodeVersionEdit") << settings << true << "0" << false;
        QTest::newRow("ChartLPG") << lpg << true << "" << false;
        QTest::newRow("LPGSpeedCheckBox") << lpg << true << "Быстрое изменение" << true;
        QTest::newRow("LPGScaleCheckBox") << lpg << true << "Отрицательные значения" << false;
        QTest::newRow("LPGFulMapMoveCheckBox") << lpg << true << "Двигать всю карту" << true;
        QTest::newRow("ChartPetrol") << petrol << true << "" << false;
        QTest::newRow("PetrolFulMapMoveCheckBox") << petrol << true << "Двигать всю карту" << true;
        QTest::newRow("PetrolScaleCheckBox") << petrol << true << "Отрицательные значения" << false;
        QTest::newRow("PetrolSpeedCheckBox") << petrol << true << "Быстрое изменение" << true;
        QTest::newRow("StringGridLPG") << "TabSheetUOZGrid" << true << "" << false;
        QTest::newRow("StringGridPetrol") << "TabSheetPetrolGrid" << true << "" << false;
    }
    void controlsOfTheDesign()
    {
        QFETCH(QString, parent);
        QFETCH(bool, visible);
        QFETCH(QString, text);
        QFETCH(bool, checked);
        QWidget* c = FindControl(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(c);
        QCOMPARE(c->parentWidget()->objectName(), parent);
        QCOMPARE(c->isVisibleTo(c->parentWidget()), visible);
        if (auto* b = qobject_cast<QAbstractButton*>(c))
            QCOMPARE(b->text(), text);
        if (auto* l = qobject_cast<QLabel*>(c))
            QCOMPARE(l->text(), text);
        if (auto* cb = qobject_cast<QComboBox*>(c))
            QCOMPARE(cb->currentText(), text);
        if (auto* e = qobject_cast<QLineEdit*>(c))
            QCOMPARE(e->text(), text);
        if (auto* b = qobject_cast<QCheckBox*>(c))
            QCOMPARE(b->isChecked(), checked);
    }

    // Each check box of the chart pages carries the tooltip of its own kind,
    // quoting the numbers the chart uses in the user's regional settings (the
    // suite's are "C": a comma written into the text shows here).
    void checkBoxesCarryTheirOwnTooltips()
    {
        const struct {
            QCheckBox* lpg;
            QCheckBox* petrol;
            QStringList says;
        } kinds[] = {
            {w->LPGSpeedCheckBox, w->PetrolSpeedCheckBox, {DegreesText(FastStep), DegreesText(FineStep)}},
            {w->LPGFulMapMoveCheckBox, w->PetrolFulMapMoveCheckBox, {QStringLiteral("всю карту")}},
            {w->LPGScaleCheckBox, w->PetrolScaleCheckBox, {DegreesText(-AdvanceAxisTop)}},
        };
        QSet<QString> tips;
        for (const auto& k : kinds) {
            QCOMPARE(k.petrol->toolTip(), k.lpg->toolTip());
            for (const QString& part : k.says)
                QVERIFY2(k.lpg->toolTip().contains(part), qPrintable(k.lpg->toolTip()));
            tips << k.lpg->toolTip();
        }
        QCOMPARE(tips.size(), 3);
        QVERIFY(!w->LPGSpeedCheckBox->toolTip().contains(QLatin1Char(',')));
        QVERIFY(w->Button1->toolTip().contains(DegreesText(LPGTemplateAdvance) + QStringLiteral(", бензин ")
                                               + DegreesText(PetrolTemplateAdvance)));
    }

    void windowProperties()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarvo GUI"));
        QCOMPARE(w->ClientArea->size(), QSize(1098, 643));
        QCOMPARE(w->font().pointSize(), 8);
        QVERIFY(w->font().families().startsWith(QStringLiteral("Tahoma")));
        QCOMPARE(w->ProgressBar1->minimum(), 0);
        QCOMPARE(w->ProgressBar1->maximum(), 79);
        QCOMPARE(w->ProgressBar1->value(), 0);
        // The file dialogs cost more start-up time than the rest of the
        // window: none is built before the first open or save, and each is
        // built once.
        QVERIFY(w->findChildren<QFileDialog*>().isEmpty());
        QCOMPARE(OpenDialog(w), OpenDialog(w));
        QCOMPARE(SaveDialog(w), SaveDialog(w));
        QVERIFY(OpenDialog(w) != SaveDialog(w));
        QCOMPARE(OpenDialog(w)->defaultSuffix(), QStringLiteral("xml"));
        QCOMPARE(SaveDialog(w)->defaultSuffix(), QStringLiteral("xml"));
        QCOMPARE(SaveDialog(w)->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(OpenDialog(w)->acceptMode(), QFileDialog::AcceptOpen);
    }

    void portBoxList()
    {
        QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("0"));
        QCOMPARE(w->ComboBox1->count(), 254);
        for (int i = 0; i < 254; ++i)
            QCOMPARE(w->ComboBox1->itemText(i), QString::number(i + 1));
        QCOMPARE(w->ComboBox1->findText(QStringLiteral("0")), -1);
        QCOMPARE(w->ComboBox1->findText(QStringLiteral("255")), -1);
        QCOMPARE(w->ComboBox1->maxVisibleItems(), 20);
        QVERIFY(w->ComboBox1->isEditable());
    }

    void pagesInOrder()
    {
        const QStringList captions{"Настройки вариатора", "Карта УОЗ для газа", "Таблица УОЗ для газа",
                                   "Карта УОЗ для бензина", "Таблица УОЗ для бензина"};
        const QWidget* pages[] = {w->TabSheetVariatorSettings, w->TabSheetLPGmap, w->TabSheetUOZGrid,
                                  w->TabSheetPetrolmap, w->TabSheetPetrolGrid};
        QCOMPARE(w->PageControl1->count(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(w->PageControl1->tabText(i), captions[i]);
            QCOMPARE(w->PageControl1->widget(i), pages[i]);
        }
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheetLPGmap);
    }

    void checkBoxesLieOnTopOfCharts()
    {
        const QObjectList& lpg = w->TabSheetLPGmap->children();
        QVERIFY(lpg.indexOf(w->ChartLPG) < lpg.indexOf(w->LPGSpeedCheckBox));
        QVERIFY(lpg.indexOf(w->ChartLPG) < lpg.indexOf(w->LPGScaleCheckBox));
        const QObjectList& petrol = w->TabSheetPetrolmap->children();
        QVERIFY(petrol.indexOf(w->ChartPetrol) < petrol.indexOf(w->PetrolScaleCheckBox));
    }

    void tabOrder()
    {
        QCOMPARE(w->Button1->nextInFocusChain(), static_cast<QWidget*>(w->ReadData));
        QCOMPARE(w->ReadData->nextInFocusChain(), static_cast<QWidget*>(w->WriteData));
        QCOMPARE(w->WriteData->nextInFocusChain(), static_cast<QWidget*>(w->ComboBox1));
        QCOMPARE(w->PageControl1->focusPolicy(), Qt::NoFocus);
        QCOMPARE(w->EEditVariatorStartTimeout->nextInFocusChain(), static_cast<QWidget*>(w->UpDownTimeout));
    }

    void menuBar()
    {
        // The menus in their order; "Правка" (undo and redo) comes after
        // "Файл", "Вид" (the reference maps) after "Правка".
        const QList<QAction*> top = w->MainMenu->actions();
        QCOMPARE(Items(w->MainMenu), (QStringList{"Подключение", "Файл", "Правка", "Вид", "Обновление", "Справка"}));
        QCOMPARE(top[2]->menu(), w->N14);
        QCOMPARE(top[3]->menu(), w->N17);
        QVERIFY(!top[4]->menu() && !top[5]->menu());
        QCOMPARE(Items(w->N17), QStringList{"Показывать исходную карту"});
        QVERIFY(w->N17->actions()[0]->isCheckable() && w->N17->actions()[0]->isChecked());
        // "Сравнить с вариатором" follows the items of "Подключение";
        // "История…", "Открыть как исходную карту…", the one-map opens and
        // the report follow the items of "Файл" and their separator.
        QCOMPARE(Items(w->N8), (QStringList{"Подключиться", "-", "Автовыбор", "-", "-", "Отключиться", "Сравнить с вариатором", "Записать изменения", "Записывать изменения сразу"}));
        QCOMPARE(w->N8->actions()[6], w->N19);
        QCOMPARE(Items(w->N1), (QStringList{"Открыть", "Сохранить", "-", "История…", "Открыть как исходную карту…",
                                                "Открыть только карту газа…", "Открыть только карту бензина…",
                                                "Отчёт в PDF…"}));
        QCOMPARE(w->N1->actions()[3], w->N20);
        QCOMPARE(w->N1->actions()[4], w->N21);

        // The doubled separator is drawn once: the rendered menus are as tall
        // as menus built with one.
        for (QMenu* menu : {w->N8, w->N1}) {
            QVERIFY(menu->separatorsCollapsible());
            QMenu plain;
            plain.setFont(menu->font());
            QString last;
            for (const QString& item : Items(menu)) {
                if (item != QLatin1String("-"))
                    plain.addAction(item);
                else if (last != item)
                    plain.addSeparator();
                last = item;
            }
            QCOMPARE(menu->sizeHint().height(), plain.sizeHint().height());
        }
    }

    void statusLabel()
    {
        QLabel* l = w->Label2;
        QCOMPARE(l->palette().color(QPalette::Window), QColor(255, 0, 0));
        QVERIFY(l->autoFillBackground());

        for (const char* key : {"Connected", "connected ", "", "DISCONNECTED", "on"}) {
            SetConnectionStatus(w, QString::fromLatin1(key));
            QVERIFY2(!l->isVisibleTo(w), key);
            QCOMPARE(l->text(), DisconnectedCaption);
        }

        SetConnectionStatus(w, QStringLiteral("connected"));
        QVERIFY(l->isVisibleTo(w));
        QCOMPARE(l->text(), ConnectedCaption);
        QCOMPARE(l->palette().color(QPalette::Window), QColor(0, 128, 0));
        QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::black));

        SetConnectionStatus(w, QStringLiteral("Disconnected"));
        QCOMPARE(l->text(), ConnectedCaption);

        SetConnectionStatus(w, QStringLiteral("disconnected"));
        QVERIFY(l->isVisibleTo(w));
        QCOMPARE(l->text(), DisconnectedCaption);
        QCOMPARE(l->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::black));
    }

    void showCoversWorkArea()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w->frameGeometry(), area);
        QCOMPARE(w->PageControl1->size(), QSize(area.width() - 15, area.height() - 130));
        QCOMPARE(w->PageControl1->pos(), QPoint(0, 74));
        // Still there after the event loop has run the pending layouts.
        QTest::qWait(50);
        QCOMPARE(w->PageControl1->size(), QSize(area.width() - 15, area.height() - 130));
    }

    void anchorsFollowResize()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QSize before = w->ClientArea->size();
        const QRect page = w->PageControl1->geometry();
        const QRect read = w->ReadData->geometry();
        const QSize template_ = w->Button1->size();
        const QRect scale = w->LPGScaleCheckBox->geometry();
        const QPointF fraction(QRectF(w->Button1->geometry()).center().x() / before.width(),
                               QRectF(w->Button1->geometry()).center().y() / before.height());
        w->resize(w->width() + 200, w->height() + 100);
        QTRY_COMPARE(w->ClientArea->size(), before + QSize(200, 100));
        const QSize after = w->ClientArea->size();

        QCOMPARE(w->ReadData->geometry(), read);                                                    // left, top
        QCOMPARE(w->PageControl1->geometry(), page.adjusted(0, 0, 200, 100));                      // all
        // none: the size stays, the centre keeps its fraction of the parent.
        const QPointF c = QRectF(w->Button1->geometry()).center();
        QVERIFY(qAbs(c.x() / after.width() - fraction.x()) < 0.002);
        QVERIFY(qAbs(c.y() / after.height() - fraction.y()) < 0.002);
        QCOMPARE(w->Button1->size(), template_);
        QCOMPARE(w->Label2->size(), QSize(101, 18));

        // In the design size the none-anchored controls sit where the layout puts them.
        QVERIFY(qAbs(fraction.x() - (925 + template_.width() / 2.0) / TForm2::DesignWidth) < 0.002);

        // On a page: the grid and the chart stretch, the fixed-size check box
        // keeps its centre fraction, the scale box keeps its place.
        w->PageControl1->setCurrentWidget(w->TabSheetLPGmap);
        const QSize p = w->TabSheetLPGmap->size();
        QCOMPARE(w->ChartLPG->geometry(), QRect(-3, 0, p.width() - 1090 + 1097, p.height()));
        QCOMPARE(w->LPGScaleCheckBox->geometry(), scale);
        const QPointF s = QRectF(w->LPGSpeedCheckBox->geometry()).center();
        QVERIFY(qAbs(s.x() / p.width() - (940 + w->LPGSpeedCheckBox->width() / 2.0) / TForm2::PageWidth) < 0.002);
        w->PageControl1->setCurrentWidget(w->TabSheetUOZGrid);
        const QSize g = w->TabSheetUOZGrid->size();
        QCOMPARE(w->StringGridLPG->geometry(), QRect(0, 0, g.width() - 2, g.height() - 4));
    }

    void mapStoreInitialValuesAndTemplate()
    {
        static_assert(sizeof(MapTable) == 160 * sizeof(double), "a map is 160 doubles, nothing else");
        auto holds = [](const MapTable& map, double uoz) {
            for (int i = 0; i < MapPoints; ++i)
                if (map.Rpm[i] != 100.0 * i || map.Uoz[i] != uoz)
                    return false;
            return true;
        };
        QVERIFY(holds(LPGTable, 0.0) && holds(PetrolTable, 0.0));
        LPGTable.Uoz[5] = -7.25;
        LPGTable.Rpm[3] = 1;
        PetrolTable.Uoz[79] = 31.5;
        FillTemplate(w);
        QVERIFY(holds(LPGTable, 9.0));
        QVERIFY(holds(PetrolTable, 2.0));
    }

    void viewsEmptyBeforeFirstRefresh()
    {
        for (TStringGrid* g : {w->StringGridLPG, w->StringGridPetrol}) {
            QCOMPARE(g->columnCount(), 9);
            QCOMPARE(g->rowCount(), 11);
            for (int r = 0; r < 11; ++r)
                for (int c = 0; c < 9; ++c)
                    QVERIFY(g->Cell(c, r).isEmpty());
        }
    }

    // The spinner steps from what the box holds and writes its position
    // there: a value read from the variator or typed in, held within 0..100;
    // other text counts as the spinner's last position. Up and Down in the
    // box step it too.
    void upDownStepsFromTheBox()
    {
        QLineEdit* box = w->EEditVariatorStartTimeout;
        // "=n": the spinner set to n, which the box then shows.
        const struct {
            const char* text;
            bool up;
            const char* expected;
        } cases[] = {{"0", true, "1"},     {"=100", true, "100"}, {"=0", false, "0"},  {"30", true, "31"},
                     {"50", true, "51"},   {" 7 ", false, "6"},   {"150", true, "100"}, {"150", false, "99"},
                     {"-5", false, "0"},   {"-5", true, "1"},     {"abc", true, "2"},   {"", false, "1"},
                     {"1.5", true, "2"},   {"05", true, "6"}};
        for (const auto& c : cases) {
            if (c.text[0] == '=')
                w->UpDownTimeout->SetPosition(QByteArray(c.text + 1).toInt());
            else
                box->setText(QString::fromLatin1(c.text));
            QTest::mouseClick(c.up ? w->UpDownTimeout->UpButton : w->UpDownTimeout->DownButton, Qt::LeftButton);
            QVERIFY2(box->text() == QLatin1String(c.expected), c.text);
        }

        box->setText(QStringLiteral("42"));
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(box->text(), QStringLiteral("43"));
        box->setText(QStringLiteral("42"));
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->text(), QStringLiteral("41"));
        QCOMPARE(w->UpDownTimeout->Position(), 41);
        QTest::keyClick(box, Qt::Key_5);
        QCOMPARE(box->text(), QStringLiteral("415"));  // other keys still type
    }

    void typingIntoSettingsHasNoEffect()
    {
        const QString status = w->Label2->text();
        w->EEditVariatorStartTimeout->setText(QStringLiteral("abc"));
        w->MicroCodeVersionEdit->setText(QStringLiteral("12"));
        w->SignalInversionCheckBox->setChecked(true);
        QVERIFY(messages.isEmpty());
        QVERIFY(errors.isEmpty());
        QCOMPARE(w->Label2->text(), status);
        QCOMPARE(LPGTable.Uoz[0], 0.0);
    }

    // Qt's own texts come in the user's language; the program's boxes keep
    // their one "OK" whatever the language (here one where Qt's differs).
    void qtTextsInTheUsersLanguage()
    {
        QTranslator* russian = InstallQtTranslations(QLocale(QLocale::Russian, QLocale::Russia));
        if (!russian)
            QSKIP("Qt's translations are not installed (Debian qt6-translations-l10n)");
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("Сохранить как"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
        QCoreApplication::removeTranslator(russian);
        delete russian;
        QVERIFY(!InstallQtTranslations(QLocale(QLocale::Esperanto)));

        QTranslator* chinese = InstallQtTranslations(QLocale(QLocale::Chinese, QLocale::China));
        QVERIFY(chinese);
        QVERIFY(QCoreApplication::translate("QPlatformTheme", "OK") != QLatin1String("OK"));
        SetMessageHook({});
        SetErrorBoxHook({});
        QStringList buttons;
        {
            DialogAnswerer dialogs;
            ShowMessage(QStringLiteral("Вариатор подключен"));
            ShowErrorBox(QStringLiteral("Ошибка."));
            for (const ShownBox& box : dialogs.boxes)
                buttons << box.buttons;
        }
        QCoreApplication::removeTranslator(chinese);
        delete chinese;
        QCOMPARE(buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("OK")}));
    }

    void errorBoxFullStopRule()
    {
        QCOMPARE(ErrorBoxText(QStringLiteral("'abc' is not a valid integer value")),
                 QStringLiteral("'abc' is not a valid integer value."));
        QCOMPARE(ErrorBoxText(QStringLiteral("Ends with digit 5")), QStringLiteral("Ends with digit 5."));
        QCOMPARE(ErrorBoxText(QStringLiteral("Already.")), QStringLiteral("Already."));
        QCOMPARE(ErrorBoxText(QStringLiteral("Bang!")), QStringLiteral("Bang!"));
        QCOMPARE(ErrorBoxText(QStringLiteral("Dash-")), QStringLiteral("Dash-"));
        QCOMPARE(ErrorBoxText(QStringLiteral("Slash/")), QStringLiteral("Slash/."));
        QCOMPARE(ErrorBoxText(QStringLiteral("Ошибка")), QStringLiteral("Ошибка."));
        QCOMPARE(ErrorBoxText(QString()), QString());
    }

    void exceptionsFromHandlersReachTheErrorBox()
    {
        QVERIFY(!RunHandler([] { throw std::runtime_error("'x' is not a valid integer value"); }));
        QCOMPARE(errors, QStringList{QStringLiteral("'x' is not a valid integer value.")});
        QVERIFY(!RunHandler([] { throw 42; }));
        QCOMPARE(errors.size(), 2);
        QCOMPARE(errors[1], QString());
        QVERIFY(RunHandler([] {}));
        QCOMPARE(errors.size(), 2);

        // An exception thrown inside event delivery is caught by the application
        // object, and the program goes on.
        struct Thrower : QObject {
            bool event(QEvent*) override { throw std::runtime_error("boom"); }
        } thrower;
        QEvent e(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&thrower, &e));
        // The box opens once the event has returned.
        QCOMPARE(errors.size(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(errors.last(), QStringLiteral("boom."));
    }

    // The window is drawn in Tahoma; where Wine's Tahoma is installed and no
    // other, that is the one the window uses.
    void tahomaFont()
    {
        const bool wineTahoma = QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
        if (!wineTahoma && !QFontDatabase::families().contains(QStringLiteral("Tahoma")))
            QSKIP("no Tahoma on this system (Debian fonts-wine)");
        QCOMPARE(QFontInfo(w->font()).family(), QStringLiteral("Tahoma"));
        QCOMPARE(QFontInfo(w->Label1->font()).pixelSize(), 11);
    }

    // A label takes the width of each new caption, keeping its left edge and
    // never narrower than designed, so the port being tried and the map being
    // written are shown whole.
    void labelsFollowTheirCaptions()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        TLabel* l = w->LabelProgress;
        const QPoint topLeft = l->pos();
        const int height = l->height();
        for (const QString& caption : {QStringLiteral("Попытка подключения к com-порту254"),
                                       QStringLiteral("Запись бензиновой карты в вариатор"), QStringLiteral("x")}) {
            l->setText(caption);
            QCOMPARE(l->pos(), topLeft);
            QCOMPARE(l->height(), height);
            QCOMPARE(l->width(), qMax(137, l->fontMetrics().horizontalAdvance(caption) + 2));
            QVERIFY(l->fontMetrics().boundingRect(caption).width() <= l->width());
        }
        // Set while hidden, as a transfer does before showing the label and
        // repainting only the progress bar: on the screen the caption is whole.
        l->setText(QStringLiteral("Запись газовой карты в вариатор"));
        l->show();
        QTest::qWait(50);
        l->hide();
        l->setText(QStringLiteral("Запись бензиновой карты в вариатор"));
        l->show();
        w->ProgressBar1->show();
        RepaintNow(w->ProgressBar1);
        // (the offscreen platform grabs what the window holds, not a new paint)
        const QPoint at = l->mapTo(w, QPoint(0, 0));
        const QImage shown = w->screen()
                                 ->grabWindow(w->winId(), at.x(), at.y(), l->width(), l->height())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, l->grab().toImage().convertToFormat(QImage::Format_RGB32));

        // The new width is the label's own from then on: a resize of the
        // window keeps it, and a none-anchored label stays centred on its place.
        l->setText(QStringLiteral("Запись бензиновой карты в вариатор"));
        const int width = l->width();
        const QPointF centre = QRectF(w->Label1->geometry()).center();
        const int before = w->ClientArea->width();
        const double fraction = centre.x() / before;
        w->resize(w->width() + 300, w->height());
        QTRY_COMPARE(w->ClientArea->width(), before + 300);
        QCOMPARE(l->geometry(), QRect(topLeft, QSize(width, height)));
        QVERIFY(qAbs(QRectF(w->Label1->geometry()).center().x() / w->ClientArea->width() - fraction) < 0.002);
    }

    // Captions are never cut, whatever the font measures: in the window's
    // font (Tahoma where it is found) and in the faces that stand in for it.
    void captionsWholeAndApart_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("window font") << QString();
        QTest::newRow("Liberation Sans") << QStringLiteral("Liberation Sans");
        QTest::newRow("DejaVu Sans") << QStringLiteral("DejaVu Sans");
    }
    void captionsWholeAndApart()
    {
        QFETCH(QString, family);
        if (!family.isEmpty()) {
            QFont font = w->font();
            font.setFamilies({family});
            w->setFont(font);
        }
        for (QWidget* page : {w->TabSheetVariatorSettings, w->TabSheetLPGmap, w->TabSheetPetrolmap})
            page->resize(TForm2::PageWidth, TForm2::PageHeight);
        CheckCaptionsWholeAndApart();
    }

    // Shown (at 150 % on 1920x1080 by tst_window_150, at 144 dpi under Wine):
    // within the work area, the rule above with the tabs and the progress
    // area's longest captions; charts with points and degrees a marker apart,
    // grids with every cell in view. Env: TARVO_SCREENSHOT, TARVO_EXPECT_SCALE.
    void wholeAtScale()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        if (area.width() < TForm2::DesignWidth || area.height() < TForm2::DesignHeight)
            QSKIP("the work area is smaller than the window's design size");
        FillTemplate(w);
        RefreshAllViews(w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        if (qEnvironmentVariableIsSet("TARVO_EXPECT_SCALE"))
            QCOMPARE(w->devicePixelRatioF(), qEnvironmentVariable("TARVO_EXPECT_SCALE").toDouble());
        QVERIFY(area.contains(w->frameGeometry()));
        for (TChart* chart : {w->ChartLPG, w->ChartPetrol}) {
            w->PageControl1->setCurrentWidget(chart->parentWidget());
            const QRectF plot = chart->chart()->plotArea();
            QVERIFY(plot.width() / 80 >= TChart::MarkerSize && plot.height() / 35 >= TChart::MarkerSize);
        }
        for (TStringGrid* grid : {w->StringGridLPG, w->StringGridPetrol}) {
            w->PageControl1->setCurrentWidget(grid->parentWidget());
            QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->model()->index(10, 8))));
        }
        w->ProgressBar1->show();
        for (const char* caption : {"Попытка подключения к com-порту254", "Запись бензиновой карты в вариатор"}) {
            w->LabelProgress->setText(QString::fromUtf8(caption));
            w->LabelProgress->show();
            CheckCaptionsWholeAndApart();
        }
        const QString shot = qEnvironmentVariable("TARVO_SCREENSHOT");
        if (!shot.isEmpty())
            QVERIFY(w->grab().toImage().save(shot));
    }

private:
    // The room a control leaves its caption where its style draws it, less
    // the caption's width (its own caption unless one is given).
    static int CaptionRoom(QWidget* c, QString caption)
    {
        int room = c->width();
        if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            QStyleOptionButton option;
            option.initFrom(c);
            option.text = caption.isNull() ? b->text() : caption;
            const auto part = qobject_cast<QCheckBox*>(c) ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents;
            room = c->style()->subElementRect(part, &option, c).width();
            caption = option.text;
        } else if (auto* l = qobject_cast<QLabel*>(c); l && caption.isNull()) {
            caption = l->text();
        }
        return room - c->fontMetrics().horizontalAdvance(caption);
    }

    // Every captioned control, the status label with both its captions and
    // each tab shows its caption whole; the controls of a parent (not the
    // charts and grids beneath them) stay inside it and apart.
    void CheckCaptionsWholeAndApart()
    {
        QStringList faults;
        for (QWidget* parent : {w->ClientArea, w->TabSheetVariatorSettings, w->TabSheetLPGmap, w->TabSheetPetrolmap}) {
            QList<QWidget*> controls;
            for (QWidget* c : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (!qobject_cast<QAbstractScrollArea*>(c) && !qobject_cast<QTabWidget*>(c))
                    controls << c;
            for (int i = 0; i < controls.size(); ++i) {
                if (CaptionRoom(controls[i], {}) < 0 || !parent->rect().contains(controls[i]->geometry()))
                    faults << NameOf(controls[i]);
                for (int j = i + 1; j < controls.size(); ++j)
                    if (controls[i]->geometry().intersects(controls[j]->geometry()))
                        faults << NameOf(controls[i]) + QStringLiteral(" on ") + NameOf(controls[j]);
            }
        }
        if (CaptionRoom(w->Label2, ConnectedCaption) < 0 || CaptionRoom(w->Label2, DisconnectedCaption) < 0)
            faults << QStringLiteral("Label2");
        QTabBar* bar = w->PageControl1->tabBar();
        for (int i = 0; bar->isVisible() && i < bar->count(); ++i) {
            QStyleOptionTab option;
            option.initFrom(bar);
            option.text = bar->tabText(i);
            option.rect = bar->tabRect(i);
            if (!bar->rect().contains(option.rect)
                || bar->style()->subElementRect(QStyle::SE_TabBarTabText, &option, bar).width()
                       < bar->fontMetrics().horizontalAdvance(option.text))
                faults << option.text;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral(", "))));
    }

    // A menu's items, "-" for a separator.
    static QStringList Items(const QWidget* menu)
    {
        QStringList items;
        for (const QAction* a : menu->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return items;
    }

    QWidget* FindControl(const QString& name) { return Controls().value(name); }
    // The design's name of a control; a control added since, its class and place.
    QString NameOf(QWidget* control)
    {
        const QString name = Controls().key(control);
        if (!name.isEmpty())
            return name;
        return QStringLiteral("%1 at %2,%3").arg(QString::fromLatin1(control->metaObject()->className()))
            .arg(control->x()).arg(control->y());
    }

    QMap<QString, QWidget*> Controls()
    {
#define CONTROL(name) {QStringLiteral(#name), w->name}
        return {CONTROL(WriteData), CONTROL(ReadData), CONTROL(ProgressBar1), CONTROL(Label1), CONTROL(LabelProgress),
                CONTROL(ComboBox1), CONTROL(Label2), CONTROL(Button1), CONTROL(PageControl1),
                CONTROL(LabelVariatorStartTimeout), CONTROL(EEditVariatorStartTimeout), CONTROL(UpDownTimeout),
                CONTROL(SignalInversionLabel), CONTROL(SignalInversionCheckBox), CONTROL(Label3),
                CONTROL(MicroCodeVersionEdit), CONTROL(ChartLPG), CONTROL(LPGSpeedCheckBox), CONTROL(LPGScaleCheckBox),
                CONTROL(LPGFulMapMoveCheckBox), CONTROL(ChartPetrol), CONTROL(PetrolFulMapMoveCheckBox),
                CONTROL(PetrolScaleCheckBox), CONTROL(PetrolSpeedCheckBox), CONTROL(StringGridLPG),
                CONTROL(StringGridPetrol)};
#undef CONTROL
    }
};

int main(int argc, char** argv)
{
    TarvoApplication app(argc, argv);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window.moc"
