#pragma once

// Answers every real dialog the program opens, from inside the dialog's own
// modal loop as the user does: OK on a message box (or a chosen button), the
// chosen file (or Cancel) in a file dialog, the next number in a number box.

#include "app/ui/Gui2.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

struct ShownBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    bool owned;
    QString status; // caption of Label2 while the box was up, or "hidden"
    QStringList buttons;
};

class DialogAnswerer : public QObject {
public:
    QList<ShownBox> boxes;
    QString fileToChoose;
    int fileDialogs = 0;
    QStringList numbersToType;  // answers of number boxes, in turn; then Cancel
    int numberBoxes = 0;
    TForm2* window = nullptr;
    // A box without OK: the button of this text, or Escape when empty.
    QString button;

    DialogAnswerer()
    {
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, [this] { Answer(); });
        timer.start();
    }

    QStringList Texts() const
    {
        QStringList out;
        for (const ShownBox& b : boxes)
            out << b.text;
        return out;
    }

private:
    QTimer timer;
    // The file dialog answered in its current showing.
    QPointer<QFileDialog> answered;

    void Answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            QString status = QStringLiteral("hidden");
            if (window && window->Label2->isVisibleTo(window))
                status = window->Label2->text();
            QStringList buttons;
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            boxes << ShownBox{box->windowTitle(), box->text(), box->icon(), box->parentWidget() != nullptr, status, buttons};
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                ok->click();
                return;
            }
            for (QAbstractButton* b : box->buttons())
                if (b->text() == button) {
                    b->click();
                    return;
                }
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (auto* number = qobject_cast<QInputDialog*>(modal)) {
            ++numberBoxes;
            auto* edit = number->findChild<QLineEdit*>();
            if (numbersToType.isEmpty() || !edit)
                return number->reject();
            edit->selectAll();
            QTest::keyClicks(edit, numbersToType.takeFirst() + QLatin1Char('\r'));
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            // A dialog that refuses the file stays open: it is cancelled on
            // the next round, so that the test cannot hang in it. The
            // program reuses its dialogs, so what tells a refusal is that
            // this showing has not finished, not which dialog it is.
            if (dialog == answered) {
                dialog->reject();
                return;
            }
            answered = dialog;
            connect(dialog, &QDialog::finished, this, [this] { answered = nullptr; }, Qt::SingleShotConnection);
            ++fileDialogs;
            if (fileToChoose.isEmpty()) {
                dialog->reject();
            } else {
                // As the user does: the folder, the name typed into the file
                // name box, then the dialog's own accept. A reused dialog
                // still has the file of its last showing selected, and a name
                // typed while the box does not have the focus yet is added to
                // that selection: selecting the file first clears it.
                const QFileInfo file(fileToChoose);
                dialog->selectFile(file.absoluteFilePath());
                if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(file.fileName());
                static_cast<QDialog*>(dialog)->accept();
            }
        }
    }
};
