#include "mainwindow/form1.h"

#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/mainmodule.h"
#include "base/shutdown.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"
#include "mainwindow/flyerpicture.h"
#include "mainwindow/runinput.h"
#include "mainwindow/runprogress.h"
#include "preview/form2.h"

#include <QLineEdit>
#include <QListWidget>

#include <optional>
#include <utility>

// "Start Creating Template": the run, the input held while it goes, the
// flyer order read from this window and the preview taking over with its
// result.

void Form1::PushButton6_Click()
{
    // The office is still starting behind the window: the run waits for it.
    if (m_officeStarting) {
        runOnceOfficeStarted();
        return;
    }
    Guard guard{Procedure::Form1_PushButton6_Click};
    // A click that arrives while a run is under way (pending events run
    // while the template is written) is ignored.
    if (guard.test(100, [&] { return mGenerating; }))
        return;
    guard(102, [&] { mGenerating = true; });
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
            std::optional<BusyPointer> busy;
            guard(104, [&] { busy.emplace(m_pointer); });
            const FilledFlyer flyer = TemplateFilling::makeFlyer(flyerOrder());
            guard(242, [&] { busy.reset(); });
            if (flyer.made())
                handOver(guard, flyer);
            guard(252, [&] { mGenerating = false; });
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

QStringList Form1::services() const
{
    return itemsOf(m_list1);
}

QStringList Form1::scheduledServices() const
{
    return itemsOf(m_list2);
}

FlyerOrder Form1::flyerOrder()
{
    FlyerOrder order;
    order.record = flyerRecord();
    // Checked now as when it was chosen: a kept copy replaced meanwhile (by a
    // pipe, a huge or broken picture) gives the standard picture and a word.
    m_pictureNotice = FlyerPicture::keptProblem();
    if (m_pictureNotice.isEmpty())
        order.picture = FlyerPicture::currentPath();
    order.style = FlyerStyle::current();
    order.tearOffCode = TearOffCode::stored();
    return order;
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

// The preview takes over from the main window.
void Form1::handOver(Guard& guard, const FilledFlyer& flyer)
{
    guard(244, [&] {
        Form2& form2 = preview();
        form2.setPicture(flyer.page);
        form2.setWordFile(flyer.document);
        // Print jobs of this flyer carry the business name it was made with.
        form2.setJobName(m_fields[0]->text());
        QStringList notices{std::exchange(m_pictureNotice, QString()), flyer.notice};
        notices.removeAll(QString());
        form2.setFitNotice(notices.join(QStringLiteral("\n\n")));
    });
    // A close given during the run ends the program when the run is over,
    // and the preview is not to be shown for a moment first.
    if (m_runInput) {
        m_runInput->drain();
        if (m_runInput->closeRequested())
            return;
    }
    // Hiding the main window without a preview in its place would leave the
    // user with no window at all.
    if (guard(246, [&] { preview().show(); }))
        guard(248, [&] { hide(); });
}
