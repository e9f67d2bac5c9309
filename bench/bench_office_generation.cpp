// How long one flyer generation keeps the user waiting on the office: the
// start of a session, opening the template, both replacement passes, saving,
// and the page picture. Target: well under a second once the office is warm.

#include "base/appinfo.h"
#include "base/mainmodule.h"
#include "generate/libreoffice/officeengine.h"
#include "generate/word.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

const QStringList kTokens = {
    "[BusinessName]", "[TagLine]", "[OwnerName]", "[Title]", "[Address]",  "[City]",   "[State]",
    "[Zip]",          "[PhoneNo]", "[FaxNo]",     "[Name2]", "[Address2]", "[Phone2]", "[Email2]"};

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    LoadProgramResources();
    QTextStream out(stdout);
    QTemporaryDir folder;
    QFile resource(QStringLiteral(":/CUSTOM/101"));
    if (!folder.isValid() || !resource.open(QIODevice::ReadOnly))
        return 1;
    const QString dot = folder.filePath(QStringLiteral("template.dot"));
    Main::WriteFileIfAbsent(resource.readAll(), dot);

    // An optional argument gives the length of every replacement text.
    QString sample = QStringLiteral("Sample text");
    if (argc > 1) {
        const int length = QString::fromLocal8Bit(argv[1]).toInt();
        sample.clear();
        while (sample.size() < length)
            sample += QStringLiteral("green lawns trimmed hedges ");
        sample.truncate(length);
    }

    QElapsedTimer clock;
    clock.start();
    auto engine = createOfficeEngine();
    engine->createApplication()->quit();
    out << "office start and first session: " << clock.restart() << " ms\n";

    for (int run = 0; run < (argc > 1 ? 1 : 3); ++run) {
        auto word = engine->createApplication();
        auto document = word->documents().open(dot, true);
        const qint64 open = clock.restart();
        for (const QString& token : kTokens) {
            for (const auto& range : document->storyRanges())
                range->find().execute(token, sample, 2);
        }
        const qint64 stories = clock.restart();
        for (const auto& shape : document->shapes()) {
            auto frame = shape->textFrame();
            if (!frame->hasText())
                continue;
            for (const QString& token : kTokens)
                frame->textRange()->find().execute(token, sample, 2);
        }
        const qint64 shapes = clock.restart();
        const QString doc = folder.filePath(QStringLiteral("filled%1.doc").arg(run));
        document->saveAs(doc);
        document->close();
        word->quit();
        const qint64 save = clock.restart();
        auto viewer = engine->createApplication();
        viewer->documents().open(doc)->range()->copyAsPicture();
        viewer->quit();
        const qint64 picture = clock.restart();
        out << "run " << run << ": open " << open << " ms, story pass " << stories
            << " ms, shape pass " << shapes << " ms, save " << save << " ms, picture " << picture
            << " ms\n";
    }
    return 0;
}
