#include "notepaddialog.h"

#include "askyesno.h"
#include "moduleformat.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>

#include <cctype>

NotepadDialog::NotepadDialog(const QByteArray &pages, QWidget *parent)
    : QDialog(parent)
    , m_pages(pages.leftJustified(kNotepadPages * kNotepadPageBytes, '\0', true))
{
    setWindowTitle("记事本");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics metrics(fixed);
    const int textMargin = 2 * 8 + metrics.horizontalAdvance(QLatin1Char(' '));

    // Half the pages at a time, so that the dialog fits an 800 x 600 screen.
    m_view = new QPlainTextEdit(this);
    m_view->setObjectName("pages");
    m_view->setReadOnly(true);
    m_view->setFont(fixed);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    showPages();
    const QString widest = pageLine(0, QByteArray(kNotepadPageBytes, 'x')).section('\n', 0, 0);
    m_view->setMinimumSize(metrics.horizontalAdvance(widest) + textMargin + 20,
                           metrics.lineSpacing() * kNotepadPages + textMargin);

    // The page to write, laid out as the view lays it: two rows of 16 bytes.
    m_page = new QSpinBox(this);
    m_page->setRange(0, kNotepadPages - 1);
    m_bytes = new QPlainTextEdit(this);
    m_bytes->setObjectName("pageBytes");
    m_bytes->setFont(fixed);
    m_bytes->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_bytes->setTabChangesFocus(true);
    m_bytes->setFixedSize(metrics.horizontalAdvance(QString(47, QLatin1Char('0'))) + textMargin,
                          metrics.lineSpacing() * 2 + textMargin);
    m_write = new QPushButton("写入…", this);
    connect(m_page, QOverload<int>::of(&QSpinBox::valueChanged), this, &NotepadDialog::showPage);
    connect(m_bytes, &QPlainTextEdit::textChanged, this,
            [this] { m_write->setEnabled(!parseHex(m_bytes->toPlainText()).isNull()); });
    connect(m_write, &QPushButton::clicked, this, &NotepadDialog::confirmWrite);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel("页", this));
    row->addWidget(m_page);
    row->addWidget(m_bytes);
    row->addWidget(m_write);
    row->addStretch(1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    layout->addLayout(row);
    layout->addWidget(buttons);
    showPage(0);
}

int NotepadDialog::page() const
{
    return m_page->value();
}

QByteArray NotepadDialog::pageBytes() const
{
    return parseHex(m_bytes->toPlainText());
}

void NotepadDialog::pageWritten(int page, const QByteArray &bytes)
{
    if (page < 0 || page >= kNotepadPages)
        return;
    m_pages.replace(page * kNotepadPageBytes, kNotepadPageBytes,
                    bytes.leftJustified(kNotepadPageBytes, '\0', true));
    showPages();
    if (page == m_page->value())
        showPage(page);
}

void NotepadDialog::showPages()
{
    QStringList lines;
    for (int page = 0; page < kNotepadPages; ++page)
        lines << pageLine(page, m_pages.mid(page * kNotepadPageBytes, kNotepadPageBytes));
    m_view->setPlainText(lines.join(QLatin1Char('\n')));
}

// Two lines of 16 bytes, so that the dialog fits a small screen. The page
// is counted in decimal and the offset in hex, and each says which it is:
// "10页 00h" and "00页 10h" are not mistaken for each other.
QString NotepadDialog::pageLine(int page, const QByteArray &bytes)
{
    QStringList lines;
    for (int offset = 0; offset < bytes.size(); offset += 16) {
        const QByteArray half = bytes.mid(offset, 16);
        QString printable;
        for (const char byte : half)
            printable += byte >= 0x20 && byte < 0x7f ? QLatin1Char(byte) : QLatin1Char('.');
        lines << QStringLiteral("%1页 %2h  %3  |%4|")
                     .arg(page, 2, 10, QLatin1Char('0'))
                     .arg(offset, 2, 16, QLatin1Char('0'))
                     .arg(QString::fromLatin1(half.toHex(' ')))
                     .arg(printable);
    }
    return lines.join(QLatin1Char('\n'));
}

QByteArray NotepadDialog::parseHex(const QString &text)
{
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("\\s")));
    if (digits.size() % 2 != 0 || digits.size() > 2 * kNotepadPageBytes)
        return QByteArray();
    for (const QChar c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1())))
            return QByteArray();
    }
    return QByteArray::fromHex(digits.toLatin1()).leftJustified(kNotepadPageBytes, '\0');
}

void NotepadDialog::showPage(int page)
{
    const QByteArray bytes = m_pages.mid(page * kNotepadPageBytes, kNotepadPageBytes);
    m_bytes->setPlainText(QString::fromLatin1(bytes.left(16).toHex(' ')) + QLatin1Char('\n')
                          + QString::fromLatin1(bytes.mid(16).toHex(' ')));
}

void NotepadDialog::confirmWrite()
{
    const QByteArray bytes = pageBytes();
    if (!bytes.isNull() && askYesNo(this, QString("确定写入记事本第%1页？").arg(page())))
        emit writeRequested(page(), bytes);
}
