#include "mainwindow/form1.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/flyerjson.h"
#include "base/settings.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"
#include "gui/windowmenus.h"
#include "mainwindow/flyerpicture.h"
#include "mainwindow/flyerpicturemenu.h"
#include "mainwindow/flyerstylemenu.h"
#include "mainwindow/tearoffcodedialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
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

    // What the flyer looks like, apart from what the fields say.
    QMenu* flyer = m_menuBar->addMenu(QStringLiteral("F&lyer"));
    flyer->setObjectName(QStringLiteral("flyerMenu"));
    m_pictureMenu = new FlyerPictureMenu(this);
    m_pictureMenu->addTo(flyer);
    flyer->addSeparator();
    m_styleMenu = new FlyerStyleMenu(this);
    m_styleMenu->addTo(flyer);
    flyer->addSeparator();
    addMenuItem(this, flyer, "TearOffCodeAction", QStringLiteral("&Tear-off QR Code..."), {},
                [this] { chooseTearOffCode(); });

    QMenu* edit = m_menuBar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    // A field with the focus takes Ctrl+Z and Ctrl+Shift+Z for its own typing first.
    m_undoAction = addMenuItem(this, edit, "UndoAction", QStringLiteral("&Undo"),
                               {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] { undoReplace(); });
    m_redoAction =
        addMenuItem(this, edit, "RedoAction", QStringLiteral("&Redo"),
                    {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, [this] { redoReplace(); });
    m_undoAction->setEnabled(false);
    m_redoAction->setEnabled(false);

    QMenu* help = m_menuBar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    addMenuItem(help, help, "AboutAction", QStringLiteral("&About Pellamont"), {},
                [this] { showAbout(); });

    placeMenuBarAbove(this, m_menuBar);
}

Form1::FlyerData Form1::flyerData(bool withPicture)
{
    FlyerData kept;
    for (QLineEdit* field : m_fields)
        kept.fields << field->text();
    kept.services = services();
    kept.scheduledServices = scheduledServices();
    // The tabs' code goes with the picture: only a reset takes it.
    if (withPicture) {
        kept.picture = FlyerPicture::current();
        kept.tearOffCode = TearOffCode::stored();
    }
    kept.style = FlyerStyle::current();
    return kept;
}

void Form1::rememberForUndo(bool withPicture)
{
    m_undo = flyerData(withPicture);
    m_redo.reset();
    m_undoAction->setEnabled(true);
    m_redoAction->setEnabled(false);
}

void Form1::undoReplace()
{
    swapIn(m_undo, m_redo);
}

void Form1::redoReplace()
{
    swapIn(m_redo, m_undo);
}

void Form1::swapIn(std::optional<FlyerData>& from, std::optional<FlyerData>& keepIn)
{
    if (!from)
        return;
    const FlyerData kept = std::move(*from);
    from.reset();
    // What is replaced, with whatever was typed since, is kept for the way
    // back: nothing the user did vanishes without Undo or Redo reaching it.
    keepIn = flyerData(kept.picture.has_value());
    m_undoAction->setEnabled(m_undo.has_value());
    m_redoAction->setEnabled(m_redo.has_value());
    // Each field that changes is stored by its change handling; the lists
    // are stored here, as the user expects what came back to stay.
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        m_fields[i]->setText(kept.fields.value(i));
    m_list1->clear();
    m_list1->addItems(kept.services);
    m_list2->clear();
    m_list2->addItems(kept.scheduledServices);
    storeLists();
    if (kept.picture) {
        try {
            FlyerPicture::restore(*kept.picture);
        } catch (...) {
            Dialogs::current().error(applicationTitle(), describeCurrentException());
        }
        m_pictureMenu->refresh();
    }
    if (kept.style != FlyerStyle::current()) {
        try {
            FlyerStyle::store(kept.style);
        } catch (...) {
            Dialogs::current().error(applicationTitle(), describeCurrentException());
        }
        m_styleMenu->refresh();
    }
    if (kept.tearOffCode && *kept.tearOffCode != TearOffCode::stored()) {
        try {
            TearOffCode::store(*kept.tearOffCode);
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
    {
        const BusyPointer busy(m_pointer);
        try {
            const auto word = Word::CreateApplication();
            engine = word->name() + QLatin1Char(' ') + word->version();
            word->quit();
        } catch (const Failure& failure) {
            engine = QStringLiteral("not available (%1)").arg(failure.description());
        }
    }
    Dialogs::current().message(QStringLiteral("About Pellamont"),
                               aboutText(QCoreApplication::applicationVersion(), engine));
}

void Form1::offerUnsavedData()
{
    const QStringList unsaved = SettingsStore::unsavedKeys();
    if (unsaved.isEmpty())
        return;
    // What the user knows the keys by: the captions of the window.
    QStringList names;
    for (const QString& key : unsaved) {
        QString name = key;
        for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
            if (key == FlyerFields::fieldKey(i)) {
                name = FlyerFields::caption(i).remove(QLatin1Char(':'));
                if (i >= FlyerFields::kFirstTabField)
                    name += QStringLiteral(" (tear-off tabs)");
            }
        }
        if (key == FlyerFields::servicesKey())
            name = FlyerFields::servicesCaption();
        else if (key == FlyerFields::scheduledServicesKey())
            name = FlyerFields::scheduledServicesCaption();
        names << name;
    }
    const QString store = QDir::toNativeSeparators(SettingsStore::filePath());
    QString problem = SettingsStore::lastWriteProblem();
    if (problem.isEmpty())
        problem = QStringLiteral("The settings file %1 cannot be written.").arg(store);
    const QString question =
        problem +
        QStringLiteral(" Your latest changes (%1) are not stored there and will be lost when "
                       "Pellamont ends.\r\n\r\nDo you want to save the flyer data to a file "
                       "first? It can be read back with the batch tool or Import Flyer Data.")
            .arg(names.join(QStringLiteral(", ")));
    const FlyerRecord record = flyerRecord();
    // Asked again after a failed save, until the data is safe or the user
    // lets it go.
    while (Dialogs::current().question(applicationTitle(), question) == Dialogs::Answer::Yes) {
        const QString path = Dialogs::current().saveFile(
            QStringLiteral("Save Flyer Data"), QStringLiteral("Flyer Data (*.json)|*.json"));
        if (path.isEmpty())
            continue;
        try {
            writeFlyerDataFile(path, record);
            return;
        } catch (const Failure& failure) {
            Dialogs::current().error(applicationTitle(), failure.description());
        }
    }
}
