#pragma once

#include "base/errorreport.h"
#include "base/failure.h"
#include "base/flyerfields.h"
#include "generate/word.h"
#include "windowfixture.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QList>
#include <QListWidget>
#include <QStringList>
#include <QTest>

#include <memory>

// What the main window's test programs share: a stand-in office, the sample
// data, list and file helpers, and the set-up of every test. Header only: the
// support library itself links no window.

// Stands in for the office: an application starts (and quits) or it does not.
class StandInDocuments final : public Word::Documents
{
public:
    std::shared_ptr<Word::Document> open(const QString&) override
    {
        throw Failure(QStringLiteral("not used here"));
    }
    std::shared_ptr<Word::Document> open(const QString&, bool) override
    {
        throw Failure(QStringLiteral("not used here"));
    }
};

class StandInApplication final : public Word::Application
{
public:
    explicit StandInApplication(int& quits) : m_quits(quits) {}
    Word::Documents& documents() override { return m_documents; }
    std::shared_ptr<Word::Document> activeDocument() override { return nullptr; }
    void setDisplayAlerts(bool) override {}
    QString name() override { return QStringLiteral("Stand-in Office"); }
    QString version() override { return QStringLiteral("7.4.1"); }
    void quit() override { ++m_quits; }

private:
    int& m_quits;
    StandInDocuments m_documents;
};

class StandInEngine final : public Word::Engine
{
public:
    std::shared_ptr<Word::Application> createApplication() override
    {
        ++starts;
        if (missing)
            throw Failure(QStringLiteral("soffice: not found"));
        return std::make_shared<StandInApplication>(quits);
    }
    void warmUp(const QByteArray& sample) override { warmUps << sample; }
    QList<QByteArray> warmUps;
    bool missing = false;
    int starts = 0;
    int quits = 0;
};

// "Load Sample/Example Data"'s field texts, from the program's one source.
inline const QStringList kSampleFields = [] {
    QStringList texts;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        texts << FlyerFields::sampleText(i);
    return texts;
}();

inline QStringList itemsOf(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

inline int selectedRowOf(const QListWidget* list)
{
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

// A Windows cursor file: an icon file whose type is 2 and whose entry
// carries the hot spot.
inline QByteArray cursorFileBytes(int hotX, int hotY)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "ICO"))
        return {};
    bytes[2] = 2;
    bytes[6 + 4] = char(hotX);
    bytes[6 + 5] = 0;
    bytes[6 + 6] = char(hotY);
    bytes[6 + 7] = 0;
    return bytes;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Every main-window test starts as every window test does, with the stand-in
// office as its engine.
class Form1Fixture : protected WindowFixture
{
protected:
    void setUp()
    {
        setUpWindowTest();
        m_engine = std::make_shared<StandInEngine>();
        Word::setEngine(m_engine);
    }

    void tearDown()
    {
        Guard::failStatementForTesting(Procedure::Form1_Form_Load, 0);
        Word::setEngine(nullptr);
        tearDownWindowTest();
    }

    std::shared_ptr<StandInEngine> m_engine;
};
