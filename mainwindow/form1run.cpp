#include "mainwindow/form1.h"

#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/mainmodule.h"
#include "base/shutdown.h"
#include "generate/pixeldensity.h"
#include "generate/snapshot.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"
#include "mainwindow/flyerpicture.h"
#include "mainwindow/runinput.h"
#include "mainwindow/runprogress.h"
#include "preview/form2.h"

#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>

#include <utility>

// "Start Creating Template": the run, the input held while it goes, and what
// template filling asks of this window and the preview.

void Form1::PushButton6_Click()
{
    if (m_officeStarting) {
        runOnceOfficeStarted();
        return;
    }
    if (m_runInput) {
        // Called again from inside the run: the run ignores it itself.
        TemplateFilling::PushButton6_Click(*this);
        return;
    }
    bool endProgram = false;
    {
        RunInput input([this] { return QList<QWidget*>{this, m_preview.get()}; });
        // A close given during the run ends it at once: the office stops, and
        // what fails because of that is no news to the user.
        input.setOnClose([] {
            Guard::setReportsWithheld(true);
            try {
                Word::engine().abandon();
            } catch (...) {
                // Without an engine there is nothing to stop.
            }
        });
        m_runInput = &input;
        {
            const RunProgress progress(this);
            const Word::EventsDuringCalls liveWindows;
            TemplateFilling::PushButton6_Click(*this);
        }
        input.drain();
        m_runInput = nullptr;
        endProgram = input.closeRequested();
        Guard::setReportsWithheld(false);
    }
    if (endProgram) {
        // Closed during the run: end as closing the main window does. The
        // preview was never shown, so its document is deleted here.
        if (m_preview) {
            m_preview->hide();
            Main::DeleteFileQuietly(m_preview->wordFile());
        }
        Form_QueryUnload();
        Form_Unload();
    }
}

void Form1::closeShowingWindow()
{
    if (Shutdown::requested())
        return;
    if (m_runInput) {
        m_runInput->requestClose();
        return;
    }
    if (m_preview && m_preview->isVisible())
        m_preview->close();
    else
        close();
}

QString Form1::fieldToken(int index)
{
    return FlyerFields::token(index);
}

QString Form1::fieldText(int index)
{
    return m_fields.at(index)->text();
}

namespace {
QStringList itemsOf(const QListWidget* list)
{
    QStringList items;
    items.reserve(list->count());
    for (int row = 0; row < list->count(); ++row)
        items << list->item(row)->text();
    return items;
}
} // namespace

QStringList Form1::services()
{
    return itemsOf(m_list1);
}

QStringList Form1::scheduledServices()
{
    return itemsOf(m_list2);
}

QString Form1::flyerPicture()
{
    // Checked now as when it was chosen: a kept copy replaced meanwhile (by a
    // pipe, a huge or broken picture) gives the standard picture and a word.
    m_pictureNotice = FlyerPicture::keptProblem();
    return m_pictureNotice.isEmpty() ? FlyerPicture::currentPath() : QString();
}

FlyerStyle::Style Form1::flyerStyle()
{
    return FlyerStyle::current();
}

QString Form1::tearOffCode()
{
    return TearOffCode::stored();
}

void Form1::setMousePointer(WindowPointer::Setting setting)
{
    m_pointer.set(setting);
}

void Form1::SaveDocAsJPG(const QString& documentPath)
{
    Snapshot::SaveDocAsJPG(documentPath);
}

Form2& Form1::preview()
{
    if (!m_preview) {
        m_preview = std::make_unique<Form2>();
        m_preview->setMainWindow(this);
        m_preview->setStoreLists([this] {
            storeLists();
            offerUnsavedData();
        });
    }
    return *m_preview;
}

void Form1::loadPreviewPicture(const QString& path)
{
    // The picture file may hold any format the snapshot wrote; read it by content.
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage picture = reader.read();
    if (picture.isNull())
        throw Failure(QStringLiteral("The page picture %1 cannot be read: %2")
                          .arg(path, reader.errorString()));
    // Shown at its size in logical pixels, with all the pixels it has.
    picture.setDevicePixelRatio(PixelDensity::ratioOf(picture));
    preview().setPicture(picture);
}

void Form1::setPreviewWordFile(const QString& documentPath)
{
    preview().setWordFile(documentPath);
    // Print jobs of this flyer carry the business name it was made with.
    preview().setJobName(m_fields[0]->text());
}

void Form1::setPreviewNotice(const QString& notice)
{
    QStringList notices{std::exchange(m_pictureNotice, QString()), notice};
    notices.removeAll(QString());
    preview().setFitNotice(notices.join(QStringLiteral("\n\n")));
}

void Form1::showPreview()
{
    // A close given during the run ends the program when the run is over,
    // and the preview is not to be shown for a moment first.
    if (m_runInput) {
        m_runInput->drain();
        if (m_runInput->closeRequested())
            return;
    }
    preview().show();
}

void Form1::hideMainWindow()
{
    if (m_runInput && m_runInput->closeRequested())
        return;
    hide();
}
