#ifndef NOTEPADDIALOG_H
#define NOTEPADDIALOG_H

#include <QByteArray>
#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The module's notepad: its 16 pages of 32 bytes in hex with a printable
// column, and one page to write back. The dialog only chooses: once the
// operator has confirmed, it asks for the write and stays open, and the
// window has the worker write the page and shows it here when written.
class NotepadDialog : public QDialog
{
    Q_OBJECT

public:
    NotepadDialog(const QByteArray &pages, QWidget *parent = nullptr);

    int page() const;
    // The page to write: the bytes typed, zero-padded to a page.
    QByteArray pageBytes() const;
    // The module took the page: the view shows it from now on.
    void pageWritten(int page, const QByteArray &bytes);

    // The lines of the view for one page: page number (decimal), offset
    // within the page (hex), hex bytes, printable characters.
    static QString pageLine(int page, const QByteArray &bytes);
    // Hex digits with optional blanks to bytes; null when not a page's worth.
    static QByteArray parseHex(const QString &text);

signals:
    void writeRequested(int page, const QByteArray &bytes);

private:
    void showPages();
    void showPage(int page);
    void confirmWrite();

    QByteArray m_pages;
    QPlainTextEdit *m_view = nullptr;
    QSpinBox *m_page = nullptr;
    QPlainTextEdit *m_bytes = nullptr;
    QPushButton *m_write = nullptr;
};

#endif // NOTEPADDIALOG_H
