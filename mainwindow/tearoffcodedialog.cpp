#include "mainwindow/tearoffcodedialog.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"
#include "generate/tearoffcode.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// A web address typed without its scheme would be plain text to a phone.
QString webAddress(const QString& typed)
{
    QString address = typed.trimmed();
    if (address.isEmpty() || address.contains(QLatin1String("://")))
        return address;
    return QStringLiteral("https://") + address;
}

bool hasDigits(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}
} // namespace

TearOffCodeDialog::TearOffCodeDialog(const Details& details, QWidget* parent)
    : QDialog(parent), m_details(details),
      m_none(new QRadioButton(QStringLiteral("&No code"), this)),
      m_web(new QRadioButton(QStringLiteral("A &web address:"), this)),
      m_phone(new QRadioButton(QStringLiteral("The tab's &phone number, to call"), this)),
      m_card(new QRadioButton(QStringLiteral("A &contact card from the Flyer Details"), this)),
      m_address(new QLineEdit(this)), m_shown(new QPlainTextEdit(this)), m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("TearOffCodeDialog"));
    setWindowTitle(QStringLiteral("Tear-off QR Code"));
    m_none->setObjectName(QStringLiteral("NoCodeButton"));
    m_web->setObjectName(QStringLiteral("WebCodeButton"));
    m_phone->setObjectName(QStringLiteral("PhoneCodeButton"));
    m_card->setObjectName(QStringLiteral("CardCodeButton"));
    m_address->setObjectName(QStringLiteral("WebAddressEdit"));
    m_address->setPlaceholderText(QStringLiteral("https://www.example.com/booking"));
    m_shown->setObjectName(QStringLiteral("CodeTextView"));
    m_shown->setReadOnly(true);
    m_shown->setFixedHeight(m_shown->fontMetrics().lineSpacing() * 6);
    m_count->setObjectName(QStringLiteral("CodeCountLabel"));
    m_count->setWordWrap(true);

    auto* intro = new QLabel(QStringLiteral("Each tear-off tab can carry a QR code, so that people "
                                            "can take a photo instead of a tab."),
                             this);
    intro->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_none);
    layout->addWidget(m_web);
    layout->addWidget(m_address);
    layout->addWidget(m_phone);
    layout->addWidget(m_card);
    layout->addWidget(new QLabel(QStringLiteral("The code holds:"), this));
    layout->addWidget(m_shown);
    layout->addWidget(m_count);
    layout->addWidget(buttons);

    checkStoredChoice();
    for (QRadioButton* choice : {m_none, m_web, m_phone, m_card})
        connect(choice, &QRadioButton::toggled, this, &TearOffCodeDialog::showChoice);
    connect(m_address, &QLineEdit::textChanged, this, &TearOffCodeDialog::showChoice);
    connect(buttons, &QDialogButtonBox::accepted, this, &TearOffCodeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TearOffCodeDialog::reject);
    showChoice();
    setMinimumWidth(420);
}

// The stored text shows as the choice that makes it.
void TearOffCodeDialog::checkStoredChoice()
{
    const Details& details = m_details;
    const QString stored = TearOffCode::stored();
    if (stored.isEmpty())
        m_none->setChecked(true);
    else if (hasDigits(details.phone) && stored == TearOffCode::phoneLink(details.phone))
        m_phone->setChecked(true);
    // A card stored by an earlier version, or from other details, is a card too.
    else if (stored.startsWith(QLatin1String("BEGIN:VCARD")))
        m_card->setChecked(true);
    else {
        m_web->setChecked(true);
        m_address->setText(stored);
    }
}

QString TearOffCodeDialog::chosenText() const
{
    if (m_web->isChecked())
        return webAddress(m_address->text());
    if (m_phone->isChecked())
        return hasDigits(m_details.phone) ? TearOffCode::phoneLink(m_details.phone) : QString();
    if (m_card->isChecked())
        return TearOffCode::contactCard(m_details.name, m_details.address, m_details.phone,
                                        m_details.email);
    return QString();
}

void TearOffCodeDialog::showChoice()
{
    m_address->setEnabled(m_web->isChecked());
    const QString text = chosenText();
    m_shown->setPlainText(text);
    const int most = TearOffCode::capacity();
    const QString tooLong = cardTooLong();
    if (m_none->isChecked())
        m_count->setText(QStringLiteral("The tabs show no code."));
    else if (!tooLong.isEmpty())
        m_count->setText(tooLong);
    else
        m_count->setText(QStringLiteral("%1 characters; a tab's code holds at most %2.")
                             .arg(text.size())
                             .arg(most));
}

QString TearOffCodeDialog::cardTooLong() const
{
    if (!m_card->isChecked())
        return QString();
    return TearOffCode::cardTooLong(m_details.name, m_details.address, m_details.phone,
                                    m_details.email);
}

void TearOffCodeDialog::accept()
{
    const QString text = chosenText();
    QString problem;
    if (m_web->isChecked() && text.isEmpty())
        problem = QStringLiteral("Type the web address the code should open.");
    else if (m_phone->isChecked() && text.isEmpty())
        problem = QStringLiteral("The tabs have no phone number yet. Type it under Flyer "
                                 "Details first.");
    else if (problem = TearOffCode::problem(text); !problem.isEmpty() && !cardTooLong().isEmpty())
        problem = cardTooLong();
    if (problem.isEmpty()) {
        try {
            TearOffCode::store(text);
        } catch (const Failure& failure) {
            problem = failure.description();
        }
    }
    if (!problem.isEmpty()) {
        Dialogs::current().error(applicationTitle(), problem);
        return;
    }
    QDialog::accept();
}
