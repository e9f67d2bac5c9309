// Replacing across many stories on the real office: one search of the document
// serves every story asked in turn, and must give what a search per story gives
// (texts holding their own token, options changed between stories, layout read
// after the edits).

#include "base/appinfo.h"
#include "base/mainmodule.h"
#include "generate/word.h"
#include "office/documentfacts.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "testenvironment.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace {

void replaceInStories(Word::Document& document, const QString& token, const QString& text,
                      bool matchCase = false)
{
    for (const auto& range : document.storyRanges()) {
        Word::Find& find = range->find();
        find.setText(token);
        find.replacement().setText(text);
        find.setMatchCase(matchCase);
        find.setMatchWholeWord(false);
        find.setMatchWildcards(false);
        find.execute(Word::Find::wdReplaceAll);
    }
}

// The eight tear-off tabs are shapes 6 to 13.
constexpr int kFirstTab = 6;
constexpr int kLastTab = 13;

} // namespace

class TestOfficeSearch : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void replaceAll_textHoldingItsOwnToken_everyTabOncePerPass();
    void replaceAll_storiesInterleavedWithOtherTokens_eachStoryReplaced();
    void replaceAll_matchCaseChangedBetweenStories_eachStoryUsesItsOwnOptions();
    void replaceAll_thenReadLayout_positionsAndPagesAsInTheTemplate();

private:
    void startTestCase() override;

    std::shared_ptr<Word::Document> openTemplate()
    {
        return m_word->documents().open(m_template, true);
    }
};

void TestOfficeSearch::startTestCase()
{
    openTemplateSession();
}

void TestOfficeSearch::replaceAll_textHoldingItsOwnToken_everyTabOncePerPass()
{
    auto document = openTemplate();
    // The first tab's new text holds the token again before the other tabs
    // are asked: they must each be replaced once, not skipped or doubled.
    replaceInStories(*document, QStringLiteral("[Name2]"), QStringLiteral("a [Name2] b"));
    auto facts = inspectOfficeDocument(*document);
    for (int tab = kFirstTab; tab <= kLastTab; ++tab)
        QCOMPARE(facts.shapes[tab].paragraphs.first(), QStringLiteral("a [Name2] b"));

    // A second pass finds the occurrences the first one wrote.
    replaceInStories(*document, QStringLiteral("[Name2]"), QStringLiteral("a [Name2] b"));
    facts = inspectOfficeDocument(*document);
    for (int tab = kFirstTab; tab <= kLastTab; ++tab)
        QCOMPARE(facts.shapes[tab].paragraphs.first(), QStringLiteral("a a [Name2] b b"));

    // The same story asked twice in a row searches afresh the second time.
    const auto shapes = document->shapes();
    auto tab = shapes[kFirstTab]->textFrame()->textRange();
    tab->find().execute(QStringLiteral("[Name2]"), QStringLiteral("[Name2]x"),
                        Word::Find::wdReplaceAll);
    tab->find().execute(QStringLiteral("[Name2]"), QStringLiteral("[Name2]x"),
                        Word::Find::wdReplaceAll);
    facts = inspectOfficeDocument(*document);
    QCOMPARE(facts.shapes[kFirstTab].paragraphs.first(), QStringLiteral("a a [Name2]xx b b"));
    QCOMPARE(facts.shapes[kFirstTab + 1].paragraphs.first(), QStringLiteral("a a [Name2] b b"));
    document->close();
}

void TestOfficeSearch::replaceAll_storiesInterleavedWithOtherTokens_eachStoryReplaced()
{
    auto document = openTemplate();
    const auto shapes = document->shapes();
    // Tabs asked out of order, with another token's search between them.
    for (int tab : {9, 6, 13}) {
        shapes[tab]->textFrame()->textRange()->find().execute(QStringLiteral("[Phone2]"),
                                                              QStringLiteral("phone %1").arg(tab),
                                                              Word::Find::wdReplaceAll);
        shapes[tab]->textFrame()->textRange()->find().execute(QStringLiteral("[Email2]"),
                                                              QStringLiteral("mail %1").arg(tab),
                                                              Word::Find::wdReplaceAll);
    }
    const auto facts = inspectOfficeDocument(*document);
    for (int tab = kFirstTab; tab <= kLastTab; ++tab) {
        const bool asked = tab == 9 || tab == 6 || tab == 13;
        QCOMPARE(facts.shapes[tab].paragraphs.mid(2),
                 asked ? QStringList({QStringLiteral("phone %1").arg(tab),
                                      QStringLiteral("mail %1").arg(tab)})
                       : QStringList({QStringLiteral("[Phone2]"), QStringLiteral("[Email2]")}));
    }
    document->close();
}

void TestOfficeSearch::replaceAll_matchCaseChangedBetweenStories_eachStoryUsesItsOwnOptions()
{
    auto document = openTemplate();
    const auto shapes = document->shapes();
    auto execute = [&](int tab, bool matchCase) {
        const auto range = shapes[tab]->textFrame()->textRange();
        Word::Find& find = range->find();
        find.setMatchCase(matchCase);
        find.execute(QStringLiteral("[name2]"), QStringLiteral("found"), Word::Find::wdReplaceAll);
    };
    execute(6, false);
    execute(7, true);
    execute(8, false);
    const auto facts = inspectOfficeDocument(*document);
    QCOMPARE(facts.shapes[6].paragraphs.first(), QStringLiteral("found"));
    QCOMPARE(facts.shapes[7].paragraphs.first(), QStringLiteral("[Name2]"));
    QCOMPARE(facts.shapes[8].paragraphs.first(), QStringLiteral("found"));
    document->close();
}

void TestOfficeSearch::replaceAll_thenReadLayout_positionsAndPagesAsInTheTemplate()
{
    auto pristine = openTemplate();
    const auto before = inspectOfficeDocument(*pristine);
    pristine->close();

    auto document = openTemplate();
    replaceInStories(*document, QStringLiteral("[BusinessName]"), QStringLiteral("Corvanti"));
    replaceInStories(*document, QStringLiteral("[Name2]"), QStringLiteral("Tobin\rMarsh"));
    // Read while the edits are fresh: what is laid out must already show them.
    const auto after = inspectOfficeDocument(*document);
    QCOMPARE(after.pageCount, 1);
    QCOMPARE(after.shapes.size(), before.shapes.size());
    for (std::size_t i = 0; i < before.shapes.size(); ++i) {
        QCOMPARE(after.shapes[i].left, before.shapes[i].left);
        QCOMPARE(after.shapes[i].top, before.shapes[i].top);
    }
    QCOMPARE(after.shapes[0].paragraphs.first(), QStringLiteral("Corvanti"));
    QCOMPARE(after.shapes[kLastTab].paragraphs.mid(0, 2),
             QStringList({QStringLiteral("Tobin"), QStringLiteral("Marsh")}));

    // And the saved file carries them.
    const QString path = Main::tempFolder() + QStringLiteral("/qorvin33333333.doc");
    document->saveAs(path);
    document->close();
    auto reopened = m_word->documents().open(path);
    const auto saved = inspectOfficeDocument(*reopened);
    QCOMPARE(saved.shapes[0].paragraphs.first(), QStringLiteral("Corvanti"));
    reopened->close();
    QVERIFY(QFile::remove(path));
}

QTEST_MAIN(TestOfficeSearch)
#include "tst_office_search.moc"
