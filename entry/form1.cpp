#include "entry/form1.h"

#include "app/appinfo.h"

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kDisplayName));
    setWindowIcon(ProgramIcon());
}
