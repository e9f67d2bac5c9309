#pragma once

#include "base/shutdown.h"
#include "fakeword.h"
#include "preview/form2.h"
#include "preview/picturebox.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <memory>

// What the preview's test programs share: pictures and documents to show,
// mouse helpers, and the set-up of every test. Header only: the support
// library itself links no window.

// A page-like picture: white with coloured bands, so that a view of it can be
// told from a view of another one.
inline QImage makePage(int width, int height, QColor band)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < height; y += 40)
        painter.fillRect(0, y, width, 12, band);
    painter.fillRect(0, 0, 20, 20, Qt::black);
    return image;
}

inline QByteArray documentBytes()
{
    QByteArray bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    for (int i = 0; i < 5000; ++i)
        bytes.append(char((i * 37 + 11) % 256));
    return bytes;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButtons buttons,
                      Qt::MouseButton button = Qt::NoButton)
{
    QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The pointer grabs the surface at `grab` (surface pixels) and moves by
// `offset` pixels in a few steps, as a hand would; the surface moves under it.
inline void drag(QWidget* surface, QPoint grab, QPoint offset, bool release = true)
{
    const QPoint start = surface->pos() + grab; // in the viewport's coordinates
    sendMouse(surface, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    const int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        const QPoint pointer = start + offset * i / steps;
        sendMouse(surface, QEvent::MouseMove, pointer - surface->pos(), Qt::LeftButton);
    }
    if (release)
        sendMouse(surface, QEvent::MouseButtonRelease, start + offset - surface->pos(),
                  Qt::NoButton, Qt::LeftButton);
}

// Every preview test gets its own files, scripted dialogs, a stand-in main
// window, and a fresh preview whose ending of the program is caught.
class PreviewFixture : protected WindowFixture
{
protected:
    void setUp()
    {
        setUpWindowTest();
        m_main = std::make_unique<QWidget>();
        m_form = std::make_unique<Form2>();
        m_form->setMainWindow(m_main.get());
        m_storedLists = 0;
        m_form->setStoreLists([this] { ++m_storedLists; });
        m_document = m_environment->systemTemp() + QStringLiteral("/qorvin12345678.doc");
    }

    void tearDown()
    {
        m_form.reset();
        m_main.reset();
        tearDownWindowTest();
    }

    // Shows `picture` as the generation step would, with a fresh document.
    void present(const QImage& picture)
    {
        writeFile(m_document, documentBytes());
        m_form->setPicture(picture);
        m_form->setWordFile(m_document);
        m_form->show();
        m_main->hide();
    }

    PictureBox* surface() const
    {
        return m_form->findChild<PictureBox*>(QStringLiteral("Picture1"));
    }
    QScrollBar* bar(const char* name) const
    {
        return m_form->findChild<QScrollBar*>(QLatin1StringView(name));
    }
    QPushButton* button(const char* name) const
    {
        return m_form->findChild<QPushButton*>(QLatin1StringView(name));
    }
    QWidget* client() const { return m_form->findChild<QWidget*>(QStringLiteral("ClientArea")); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void trigger(const char* action)
    {
        m_form->findChild<QAction*>(QLatin1String(action))->trigger();
    }
    // A document of the fake engine, which exports it as a real PDF.
    void presentFakeDocument(const QStringList& texts)
    {
        present(makePage(612, 792, Qt::blue));
        writeFile(m_document, FakeWord::Content{texts, {}, {}}.toBytes());
    }

    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<Form2> m_form;
    QString m_document;
    int m_storedLists = 0;
};
