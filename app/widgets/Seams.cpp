#include "app/widgets/Seams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMetaObject>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <exception>

namespace {
const QString ApplicationTitle = QStringLiteral("Tarvo GUI");
MessageHook messageHook;
MessageHook errorBoxHook;
FileDialogHook fileDialogHook;
QuestionHook questionHook;
NumberHook numberHook;
YesNoCancelHook yesNoCancelHook;

// The one button of the program's boxes reads "OK" in every language, as the
// rest of the box does not follow Qt's translations either.
void LiteralOK(QMessageBox& box)
{
    if (QAbstractButton* ok = box.button(QMessageBox::Ok))
        ok->setText(QStringLiteral("OK"));
}
}

void SetMessageHook(MessageHook hook) { messageHook = std::move(hook); }
void SetErrorBoxHook(MessageHook hook) { errorBoxHook = std::move(hook); }
void SetFileDialogHook(FileDialogHook hook) { fileDialogHook = std::move(hook); }
void SetQuestionHook(QuestionHook hook) { questionHook = std::move(hook); }
void SetNumberHook(NumberHook hook) { numberHook = std::move(hook); }
void SetYesNoCancelHook(YesNoCancelHook hook) { yesNoCancelHook = std::move(hook); }

void ShowMessage(const QString& text)
{
    if (messageHook) {
        messageHook(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Message"), text, QMessageBox::Ok);
    LiteralOK(box);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void ShowErrorBox(const QString& text)
{
    if (errorBoxHook) {
        errorBoxHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, text, QMessageBox::Ok);
    LiteralOK(box);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool AskQuestion(const QString& text)
{
    if (questionHook)
        return questionHook(text);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Message"), text, QMessageBox::Yes | QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

bool AskNumberText(const QString& caption, const QString& label, QString& text)
{
    if (numberHook)
        return numberHook(caption, label, text);
    QInputDialog box;
    box.setObjectName(QStringLiteral("NumberBox"));
    box.setWindowTitle(caption);
    box.setLabelText(label);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(text);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Отмена"));
    box.setWindowModality(Qt::ApplicationModal);
    if (box.exec() != QDialog::Accepted)
        return false;
    text = box.textValue();
    return true;
}

Answer AskYesNoCancel(const QString& text)
{
    if (yesNoCancelHook)
        return yesNoCancelHook(text);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Message"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    box.setWindowModality(Qt::ApplicationModal);
    const int clicked = box.exec();
    if (clicked == QMessageBox::Yes)
        return Answer::Yes;
    if (clicked == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}

bool ExecuteFileDialog(QFileDialog* dialog, QString& fileName)
{
    if (fileDialogHook)
        return fileDialogHook(dialog, fileName);
    dialog->setWindowModality(Qt::ApplicationModal);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return false;
    fileName = dialog->selectedFiles().first();
    return true;
}

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowException(const std::exception& e)
{
    ShowErrorBox(ErrorBoxText(QString::fromUtf8(e.what())));
}

void ShowUnknownException()
{
    ShowErrorBox(QString());
}

void ShowErrorBoxLater(const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        ShowErrorBox(text);
        return;
    }
    QMetaObject::invokeMethod(
        app, [text] { ShowErrorBox(text); }, Qt::QueuedConnection);
}

bool RunHandler(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowUnknownException();
    }
    return false;
}

bool RunEventHandler(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        ShowErrorBoxLater(ErrorBoxText(QString::fromUtf8(e.what())));
    } catch (...) {
        ShowErrorBoxLater(QString());
    }
    return false;
}
