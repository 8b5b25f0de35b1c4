#ifndef QTTRANSLATION_H
#define QTTRANSLATION_H

class QCoreApplication;

// Every text of the window is Chinese, so Qt's own texts are too, whatever
// the system's locale: the buttons of notices and questions (确定, 是, 否)
// and the file dialogs. Loads Qt's Simplified Chinese translation from
// where Qt keeps its translations; without it Qt's texts stay English.
// Returns whether it was found.
bool installQtChineseTranslation(QCoreApplication &application);

#endif // QTTRANSLATION_H
