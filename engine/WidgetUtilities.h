#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QAbstractItemModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QTextEdit;
class QUrl;
class QWidget;

// Small helpers shared by the dialogs and windows. They keep no state of their own.

// Wraps text into the label's current width and fits the label's height to it;
// line feeds in the text stay line breaks. A blank text leaves an empty label
// 5 pixels high.
void setLabelWrappedText(const QString& text, QLabel* label);

// Adds the column's most frequent stored values to the combo box, most
// frequent first (earlier input offered again).
void fillComboBoxFromDb(const QString& table, const QString& field, QComboBox* combo, int limit);

// Exchanges the data of two rows from startColumn on; does nothing unless both
// rows exist.
void swapModelRows(QAbstractItemModel* model, int row1, int row2, int startColumn);

// Underlines misspelt words while the user types: in the widget itself when it
// is a line edit or text edit, otherwise in every line edit and text edit inside
// it that is not in excluded (nor inside a widget in excluded). Does nothing
// when the user switched spell checking off ("SpellChecker/enabled").
void installSpellChecker(QWidget* widget, QList<QWidget*> excluded = QList<QWidget*>());

// Underline the words the spell checker rejects; do nothing without a checker.
void spellCheckLineEdit(QLineEdit* edit);
void spellCheckTextEdit(QTextEdit* edit);

// A modal message box whose text is shown as it stands: names, paths and
// server texts in it are never read as markup. Returns the button pressed.
int showPlainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                     QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Keep a dialog's geometry in the user settings under "<objectName>Geometry".
void saveWidgetGeometry(QWidget* widget);
void restoreWidgetGeometry(QWidget* widget);

// The question before a deletion: a box without icon titled "Внимание!" with Ok
// and Cancel, released with deleteLater(); true only for Ok. The text is plain,
// so a name the user typed shows as typed.
bool confirmOkCancel(QWidget* parent, const QString& text);

// A notice the user may silence: an information box with the check box
// "Больше не предупреждать"; ticking it clears *ask at once, unticking does not
// bring it back. Returns the button pressed.
int execSilenceableNotice(bool* ask, const QString& text, Qt::TextFormat format, QMessageBox::StandardButtons buttons,
                          QMessageBox::StandardButton defaultButton);

// Opens a file of ours with the desktop's handler, as a file URL whatever
// characters its path holds.
bool openLocalFile(const QString& path);
// Opens a web link in the browser; only the http and https links the network
// code would fetch (NetworkAccess::isWebUrl) are opened.
bool openWebLink(const QUrl& url);
