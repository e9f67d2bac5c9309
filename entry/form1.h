#pragma once

#include <QWidget>

// The main window, where the user keeps the flyer data.
class Form1 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    explicit Form1(QWidget* parent = nullptr);
};
