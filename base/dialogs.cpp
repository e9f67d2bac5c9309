#include "base/dialogs.h"

#include "base/appinfo.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace {
Dialogs* installed = nullptr;

QWidget* dialogParent()
{
    return QApplication::activeWindow();
}

void runBox(QMessageBox& box)
{
    // Nothing else of the program may take input while a box is up.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
} // namespace

Dialogs& Dialogs::current()
{
    static SystemDialogs system;
    return installed ? *installed : system;
}

void Dialogs::install(Dialogs* dialogs)
{
    installed = dialogs;
}

QString displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString qtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries << parts.at(i);
    return entries.isEmpty() ? filter : entries.join(QStringLiteral(";;"));
}

void SystemDialogs::error(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, displayText(text), QMessageBox::Ok,
                    dialogParent());
    runBox(box);
}

void SystemDialogs::message(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, displayText(text), QMessageBox::Ok, dialogParent());
    runBox(box);
}

Dialogs::Answer SystemDialogs::question(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, displayText(text),
                    QMessageBox::Yes | QMessageBox::No, dialogParent());
    box.setDefaultButton(QMessageBox::Yes);
    runBox(box);
    return box.result() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString SystemDialogs::input(const QString& title, const QString& prompt)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? answer : QString();
}

QString SystemDialogs::saveFile(const QString& title, const QString& filter)
{
    QFileDialog dialog(dialogParent(), title, QString(), qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks its own overwrite question and keeps the name as typed.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString());
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

QString SystemDialogs::openFile(const QString& title, const QString& filter)
{
    QFileDialog dialog(dialogParent(), title, QString(), qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}
