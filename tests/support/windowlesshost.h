#pragma once

#include "generate/templatefilling.h"

#include <QImage>
#include <QString>

// The main and preview windows as far as a filling run needs them, without a
// window: what the run hands them is kept for the test to read. The fields
// and lists are the test's own (a derived class gives them).
class WindowlessHost : public GenerationHost
{
public:
    enum class Page {
        Plain,   // a plain white page picture: only the document is checked
        Captured // the office's own picture of the page
    };
    explicit WindowlessHost(Page page = Page::Plain) : m_page(page) {}

    bool generating() const override { return flag; }
    void setGenerating(bool generating) override { flag = generating; }
    void setMousePointer(PointerSetting::Setting setting) override { pointer = setting; }
    void SaveDocAsJPG(const QString& documentPath) override;
    // Keeps the picture, as the preview does; throws Failure for a file that
    // is no picture.
    void loadPreviewPicture(const QString& path) override;
    void setPreviewWordFile(const QString& path) override { document = path; }
    void showPreview() override { shown = true; }
    void setPreviewNotice(const QString& text) override { notice = text; }
    void hideMainWindow() override {}

    QString document; // the preview's mWordFile
    QImage picture;   // the preview's Picture1
    QString notice;
    bool flag = false; // the main window's mGenerating
    bool shown = false;
    PointerSetting::Setting pointer = PointerSetting::Default;

private:
    Page m_page;
};
