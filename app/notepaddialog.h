#ifndef NOTEPADDIALOG_H
#define NOTEPADDIALOG_H

#include <QByteArray>
#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;

// The module's notepad: its 16 pages of 32 bytes in hex with a printable
// column, and one page to write back. The dialog only chooses; the window
// has the worker write the page once the operator has confirmed.
class NotepadDialog : public QDialog
{
    Q_OBJECT

public:
    NotepadDialog(const QByteArray &pages, QWidget *parent = nullptr);

    int page() const;
    // The page to write: the bytes typed, zero-padded to a page.
    QByteArray pageBytes() const;

    // A line of the view: page number, hex bytes, printable characters.
    static QString pageLine(int page, const QByteArray &bytes);
    // Hex digits with optional spaces to bytes; null when not a page's worth.
    static QByteArray parseHex(const QString &text);

private:
    void showPage(int page);
    void confirmWrite();

    QByteArray m_pages;
    QSpinBox *m_page = nullptr;
    QLineEdit *m_bytes = nullptr;
    QPushButton *m_write = nullptr;
};

#endif // NOTEPADDIALOG_H
