#include "gui/systemdialogs.h"

#include "base/appinfo.h"
#include "base/savefolder.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

namespace {

// What a title bar holds besides its title: the window icon and the close,
// minimise and maximise buttons of the common desktops, with their margins.
constexpr int kTitleBarExtras = 160;

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

// Closes a box once the window it tells about is hidden.
class BoxFollowsWindow final : public QObject
{
public:
    BoxFollowsWindow(QWidget* box, QWidget* window) : QObject(box), m_box(box)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            m_box->close();
        return false;
    }

private:
    QWidget* m_box;
};
} // namespace

QString displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // A label wraps only where a line may break; a path has no such place,
    // and the box would grow past the screen and cut it.
    constexpr qsizetype kLongestRun = 40;
    constexpr QChar kBreak(0x200B);
    QString wrapped;
    wrapped.reserve(shown.size() + shown.size() / 8);
    qsizetype run = 0;
    for (const QChar c : std::as_const(shown)) {
        if (run >= kLongestRun && !c.isLowSurrogate()) {
            wrapped += kBreak;
            run = 0;
        }
        wrapped += c;
        run = c.isSpace() ? 0 : run + 1;
        if (c == QLatin1Char('/')) {
            wrapped += kBreak;
            run = 0;
        }
    }
    return wrapped;
}

std::unique_ptr<QMessageBox> makeMessageBox(QMessageBox::Icon icon, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons)
{
    auto box = std::make_unique<QMessageBox>(icon, title, QString(), buttons, dialogParent());
    // Texts hold paths and descriptions from elsewhere, never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(displayText(text));
    // A short text makes a box narrower than its title, which the title bar
    // then cuts to "..": the title's width, with room for the bar's buttons
    // and icon, is the least the box may be.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
        titleFont.setBold(true);
        const int least = QFontMetrics(titleFont).horizontalAdvance(title) + kTitleBarExtras;
        grid->addItem(new QSpacerItem(least, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
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
    runBox(*makeMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok));
}

void SystemDialogs::message(const QString& title, const QString& text)
{
    runBox(*makeMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok));
}

void SystemDialogs::notice(QWidget* window, const QString& title, const QString& text)
{
    auto box = makeMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    // A modal box would leave the window blocked, and the window system's
    // close request for a blocked window is dropped without a trace: one
    // given right after the window appeared would be lost.
    box->setParent(window, box->windowFlags());
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box.get(), &QDialog::finished, box.get(), &QObject::deleteLater);
    new BoxFollowsWindow(box.get(), window);
    box.release()->show();
}

Dialogs::Answer SystemDialogs::question(const QString& title, const QString& text)
{
    const auto box =
        makeMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
    runBox(*box);
    return box->result() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString SystemDialogs::input(const QString& title, const QString& prompt)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? answer : QString();
}

QString SystemDialogs::saveFile(const QString& title, const QString& filter,
                                const QString& suggestedName)
{
    QFileDialog dialog(dialogParent(), title, saveFolder(), qtFileFilter(filter));
    if (!suggestedName.isEmpty())
        dialog.selectFile(suggestedName);
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
    QFileDialog dialog(dialogParent(), title, saveFolder(), qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

std::optional<Dialogs::PrintChoice> SystemDialogs::print(const QString& documentName)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    QPrintDialog dialog(&printer, dialogParent());
    // The page is printed whole, as it is; what is left to choose is the
    // printer and the number of copies.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || printer.printerName().isEmpty())
        return std::nullopt;
    return PrintChoice{printer.printerName(), printer.copyCount()};
}
