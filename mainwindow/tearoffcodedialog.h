#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

// "Tear-off QR Code...": what the QR code on each tear-off tab holds. None,
// a web address, the tab's phone number as a "tel:" link, or a contact card
// made from the Flyer Details. OK stores the choice at once under
// "TearOffCode"; a text too long for a tab's code, or one holding control
// characters, is refused with a message and the dialog stays open.
class TearOffCodeDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TearOffCodeDialog)

public:
    // The tab's details as the Flyer Details fields hold them now.
    struct Details
    {
        QString name;
        QString address;
        QString phone;
        QString email;
    };

    TearOffCodeDialog(const Details& details, QWidget* parent);

    // The text the code would hold with the choice shown ("" for none);
    // the empty text too when the choice lacks its text (no phone number).
    QString chosenText() const;

    // OK: stores the choice unless it is refused.
    void accept() override;

private:
    void checkStoredChoice();
    void showChoice();
    // With the contact card chosen: why it is too long, naming the details
    // to shorten; else, or when it fits, the empty text.
    QString cardTooLong() const;

    Details m_details;
    QRadioButton* m_none;
    QRadioButton* m_web;
    QRadioButton* m_phone;
    QRadioButton* m_card;
    QLineEdit* m_address;
    QPlainTextEdit* m_shown;
    QLabel* m_count;
};
