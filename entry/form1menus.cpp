#include "entry/form1.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"
#include "base/flyerfields.h"
#include "entry/flyerpicture.h"
#include "entry/flyerpicturemenu.h"
#include "entry/tearoffcodedialog.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"
#include "gui/windowmenus.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>

// Menus, Undo and About.

void Form1::createMenus()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    m_fileMenu = m_menuBar->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("FileMenu"));
    addMenuItem(this, m_fileMenu, "StartAction", QStringLiteral("&Start Creating Template"),
                {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
                [this] { PushButton6_Click(); });
    m_fileMenu->addSeparator();
    addMenuItem(this, m_fileMenu, "SampleAction", QStringLiteral("&Load Sample/Example Data"), {},
                [this] { PushButton4_Click(); });
    addMenuItem(this, m_fileMenu, "ResetAction", QStringLiteral("&Clear/Reset Data"), {},
                [this] { PushButton3_Click(); });
    addMenuItem(this, m_fileMenu, "ExportDataAction", QStringLiteral("&Export Flyer Data..."), {},
                [this] { exportFlyerData(); });
    addMenuItem(this, m_fileMenu, "ImportDataAction", QStringLiteral("&Import Flyer Data..."), {},
                [this] { importFlyerData(); });
    m_fileMenu->addSeparator();
    addMenuItem(this, m_fileMenu, "ExitAction", QStringLiteral("E&xit"),
                {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });

    // The flyer's own options, beside the data the File menu handles.
    QMenu* flyer = m_menuBar->addMenu(QStringLiteral("F&lyer"));
    flyer->setObjectName(QStringLiteral("flyerMenu"));
    m_pictureMenu = new FlyerPictureMenu(this);
    m_pictureMenu->addTo(flyer);
    flyer->addSeparator();
    addMenuItem(this, flyer, "TearOffCodeAction", QStringLiteral("&Tear-off QR Code..."), {},
                [this] { chooseTearOffCode(); });

    QMenu* edit = m_menuBar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    // A field with the focus takes Ctrl+Z for its own typing first.
    m_undoAction = addMenuItem(this, edit, "UndoAction", QStringLiteral("&Undo"),
                               {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] { undoReplace(); });
    m_undoAction->setEnabled(false);

    QMenu* help = m_menuBar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    addMenuItem(help, help, "AboutAction", QStringLiteral("&About Pellamont"), {},
                [this] { showAbout(); });

    placeMenuBarAbove(this, m_menuBar);
}

void Form1::rememberForUndo(bool withPicture)
{
    FlyerData data;
    for (QLineEdit* field : m_fields)
        data.fields << field->text();
    data.services = services();
    data.scheduledServices = scheduledServices();
    // The flyer's options go with the picture: only a reset takes them.
    if (withPicture) {
        data.picture = FlyerPicture::current();
        data.tearOffCode = TearOffCode::stored();
    }
    m_undo = std::move(data);
    m_undoAction->setEnabled(true);
}

void Form1::undoReplace()
{
    if (!m_undo)
        return;
    const FlyerData data = std::move(*m_undo);
    m_undo.reset();
    m_undoAction->setEnabled(false);
    // Each field that changes is stored by its change handling; the lists
    // are stored here, as the user expects what Undo brought back to stay.
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        m_fields[i]->setText(data.fields.value(i));
    m_list1->clear();
    m_list1->addItems(data.services);
    m_list2->clear();
    m_list2->addItems(data.scheduledServices);
    storeLists();
    if (data.picture) {
        try {
            FlyerPicture::restore(*data.picture);
        } catch (...) {
            Dialogs::current().error(applicationTitle(), describeCurrentException());
        }
        m_pictureMenu->refresh();
    }
    if (data.tearOffCode && *data.tearOffCode != TearOffCode::stored()) {
        try {
            TearOffCode::store(*data.tearOffCode);
        } catch (...) {
            Dialogs::current().error(applicationTitle(), describeCurrentException());
        }
    }
}

void Form1::chooseTearOffCode()
{
    TearOffCodeDialog dialog(
        {m_fields[10]->text(), m_fields[11]->text(), m_fields[13]->text(), m_fields[12]->text()},
        this);
    dialog.exec();
}

void Form1::showAbout()
{
    QString engine;
    m_pointer.set(WindowPointer::Hourglass);
    try {
        const auto word = Word::CreateApplication();
        engine = word->name() + QLatin1Char(' ') + word->version();
        word->quit();
    } catch (const Failure& failure) {
        engine = QStringLiteral("not available (%1)").arg(failure.description());
    }
    m_pointer.set(WindowPointer::Default);
    Dialogs::current().message(QStringLiteral("About Pellamont"),
                               aboutText(QCoreApplication::applicationVersion(), engine));
}
