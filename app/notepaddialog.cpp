#include "notepaddialog.h"

#include "askyesno.h"
#include "moduleformat.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

    auto *view = new QPlainTextEdit(this);
    view->setReadOnly(true);
    view->setFont(fixed);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList lines;
    for (int page = 0; page < kNotepadPages; ++page)
        lines << pageLine(page, m_pages.mid(page * kNotepadPageBytes, kNotepadPageBytes));
    view->setPlainText(lines.join(QLatin1Char('\n')));
    const QFontMetrics metrics(fixed);
    view->setMinimumSize(metrics.horizontalAdvance(lines.first().section('\n', 0, 0)) + 40,
                         metrics.lineSpacing() * (2 * kNotepadPages + 2) + 16);

    m_page = new QSpinBox(this);
    m_page->setRange(0, kNotepadPages - 1);
    m_bytes = new QLineEdit(this);
    m_bytes->setFont(fixed);
    m_write = new QPushButton("写入…", this);
    connect(m_page, QOverload<int>::of(&QSpinBox::valueChanged), this, &NotepadDialog::showPage);
    connect(m_bytes, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_write->setEnabled(!parseHex(text).isNull()); });
    connect(m_write, &QPushButton::clicked, this, &NotepadDialog::confirmWrite);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel("页", this));
    row->addWidget(m_page);
    row->addWidget(m_bytes, 1);
    row->addWidget(m_write);
    m_bytes->setMinimumWidth(metrics.horizontalAdvance(QString(47, QLatin1Char('0'))));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view);
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
    return parseHex(m_bytes->text());
}

// Two lines of 16 bytes, so that the dialog fits a small screen.
QString NotepadDialog::pageLine(int page, const QByteArray &bytes)
{
    QStringList lines;
    for (int offset = 0; offset < bytes.size(); offset += 16) {
        const QByteArray half = bytes.mid(offset, 16);
        QString printable;
        for (const char byte : half)
            printable += byte >= 0x20 && byte < 0x7f ? QLatin1Char(byte) : QLatin1Char('.');
        lines << QStringLiteral("%1:%2  %3  |%4|")
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
    digits.remove(QLatin1Char(' '));
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
    m_bytes->setText(
        QString::fromLatin1(m_pages.mid(page * kNotepadPageBytes, kNotepadPageBytes).toHex(' ')));
}

void NotepadDialog::confirmWrite()
{
    if (askYesNo(this, QString("确定写入记事本第%1页？").arg(page())))
        accept();
}
