#include "WidgetUtilities.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/NetworkAccess.h"
#include "engine/ProductTypeInfo.h"
#include "modules/spellchecker/SpellChecker.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QSettings>
#include <QStyle>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>

namespace {

const char* const SpellCheckConnected = "velspoSpellCheckConnected";

QTextCharFormat misspeltFormat()
{
    QTextCharFormat format;
    format.setUnderlineColor(QColor(QStringLiteral("red")));
    format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    return format;
}

bool isWordCharacter(QChar c)
{
    return c.isLetter() || c.isDigit();
}

// Calls found(start, length) for every maximal run of letters and digits.
// Combining marks (a stress mark, a decomposed "й") stay inside the word.
template<typename Found>
void forEachWord(const QString& text, Found found)
{
    int start = -1;
    for (int i = 0; i <= text.size(); ++i) {
        const bool inWord = i < text.size()
            && (isWordCharacter(text.at(i)) || (start >= 0 && text.at(i).isMark()));
        if (inWord) {
            if (start < 0)
                start = i;
        } else if (start >= 0) {
            found(start, i - start);
            start = -1;
        }
    }
}

// True when w or one of its ancestors up to (not including) root is excluded.
bool isExcluded(QWidget* w, QWidget* root, const QList<QWidget*>& excluded)
{
    for (QWidget* p = w; p && p != root; p = p->parentWidget()) {
        if (excluded.contains(p))
            return true;
    }
    return false;
}

// A second installation on the same editor must not check every change twice.
bool markConnected(QObject* editor)
{
    if (editor->property(SpellCheckConnected).toBool())
        return false;
    editor->setProperty(SpellCheckConnected, true);
    return true;
}

void connectLineEdit(QLineEdit* edit)
{
    if (!markConnected(edit))
        return;
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { spellCheckLineEdit(edit); });
}

void connectTextEdit(QTextEdit* edit)
{
    if (!markConnected(edit))
        return;
    QObject::connect(edit, &QTextEdit::textChanged, edit, [edit] { spellCheckTextEdit(edit); });
}

} // namespace

void setLabelWrappedText(const QString& text, QLabel* label)
{
    if (!label)
        return;
    if (text.trimmed().isEmpty()) {
        label->resize(label->width(), 5);
        label->setText(QString());
        return;
    }

    // The font may come from a style sheet applied since the label was polished.
    label->style()->unpolish(label);
    label->style()->polish(label);
    label->update();
    const QFontMetrics metrics(label->font());

    QString spaced = text;
    spaced.replace(QLatin1Char('\n'), QStringLiteral(" \n "));
    spaced.replace(QStringLiteral("  "), QStringLiteral(" "));
    spaced.replace(QStringLiteral("  "), QStringLiteral(" "));

    const QStringList pieces = spaced.split(QLatin1Char(' '));
    QStringList lines;
    lines.append(pieces.first());
    for (int i = 1; i < pieces.size(); ++i) {
        const QString& piece = pieces.at(i);
        const QString word = piece.trimmed();
        const int width = metrics.horizontalAdvance(lines.last() + QLatin1Char(' ') + word);
        if (piece.contains(QLatin1Char('\n'))) {
            lines.append(QString(word).remove(QLatin1Char('\n')));
        } else if (label->width() < width) {
            lines.append(word);
        } else {
            QString& last = lines.last();
            if (!last.isEmpty())
                last.append(QLatin1Char(' '));
            last.append(word);
        }
    }

    const QString joined = lines.join(QLatin1Char('\n'));
    const QRect bounds = metrics.boundingRect(QRect(0, 0, label->width(), 800),
                                              Qt::AlignLeft | Qt::TextWordWrap, joined);
    label->resize(label->width(), bounds.height() + 5);
    label->setText(joined);
}

void fillComboBoxFromDb(const QString& table, const QString& field, QComboBox* combo, int limit)
{
    if (!combo)
        return;
    combo->addItems(Database::mostFrequentValues(table, field, limit));
    if (combo->isEditable())
        combo->clearEditText();
    if (QCompleter* completer = combo->completer())
        completer->setCaseSensitivity(Qt::CaseSensitive);
}

void swapModelRows(QAbstractItemModel* model, int row1, int row2, int startColumn)
{
    if (!model)
        return;
    const int rows = model->rowCount();
    if (row1 < 0 || row2 < 0 || row1 >= rows || row2 >= rows)
        return;
    const int columns = model->columnCount();
    for (int column = qMax(0, startColumn); column < columns; ++column) {
        const QModelIndex first = model->index(row1, column);
        const QModelIndex second = model->index(row2, column);
        const QVariant firstValue = model->data(first, Qt::DisplayRole);
        const QVariant secondValue = model->data(second, Qt::DisplayRole);
        model->setData(first, secondValue, Qt::EditRole);
        model->setData(second, firstValue, Qt::EditRole);
    }
}

void installSpellChecker(QWidget* widget, QList<QWidget*> excluded)
{
    if (!widget)
        return;
    QSettings* settings = Database::userSettings();
    if (settings && !settings->value(QStringLiteral("SpellChecker/enabled"), true).toBool())
        return;

    if (auto* lineEdit = qobject_cast<QLineEdit*>(widget)) {
        connectLineEdit(lineEdit);
        return;
    }
    if (auto* textEdit = qobject_cast<QTextEdit*>(widget)) {
        connectTextEdit(textEdit);
        return;
    }
    const QList<QLineEdit*> lineEdits = widget->findChildren<QLineEdit*>();
    for (QLineEdit* lineEdit : lineEdits) {
        if (!isExcluded(lineEdit, widget, excluded))
            connectLineEdit(lineEdit);
    }
    const QList<QTextEdit*> textEdits = widget->findChildren<QTextEdit*>();
    for (QTextEdit* textEdit : textEdits) {
        if (!isExcluded(textEdit, widget, excluded))
            connectTextEdit(textEdit);
    }
}

void spellCheckLineEdit(QLineEdit* edit)
{
    if (!edit)
        return;
    const SpellChecker* checker = SpellChecker::instance();
    if (!checker)
        return;
    // A hidden text is not checked: underlines would tell where its words end,
    // and an input method event empties a password field that shows on edit.
    if (edit->echoMode() != QLineEdit::Normal)
        return;

    const QString text = edit->text();
    const QTextCharFormat format = misspeltFormat();
    // A line edit takes character formats relative to its cursor position.
    const int cursor = edit->cursorPosition();
    QList<QInputMethodEvent::Attribute> attributes;
    forEachWord(text, [&](int start, int length) {
        if (!checker->spell(text.mid(start, length)))
            attributes.append(QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat,
                                                           start - cursor, length, format));
    });
    // Sent even without attributes: that clears the earlier underlines.
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(edit, &event);
}

void spellCheckTextEdit(QTextEdit* edit)
{
    // The walk neither processes events nor touches the user's cursor, so typing
    // can never land elsewhere; the guard keeps a change made by someone reacting
    // to the new selections from starting a second walk inside this one.
    static bool running = false;
    if (!edit || running)
        return;
    const SpellChecker* checker = SpellChecker::instance();
    if (!checker)
        return;
    const QScopedValueRollback<bool> guard(running, true);

    QTextDocument* document = edit->document();
    const QTextCharFormat format = misspeltFormat();
    QList<QTextEdit::ExtraSelection> selections;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const int blockStart = block.position();
        forEachWord(text, [&](int start, int length) {
            // Leading digits are not part of the word to check ("2-й" checks "й").
            while (length > 0 && !text.at(start).isLetter()) {
                ++start;
                --length;
            }
            if (length == 0 || checker->spell(text.mid(start, length)))
                return;
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(document);
            selection.cursor.setPosition(blockStart + start);
            selection.cursor.setPosition(blockStart + start + length, QTextCursor::KeepAnchor);
            selection.format = format;
            selections.append(selection);
        });
    }
    edit->setExtraSelections(selections);
}

void saveWidgetGeometry(QWidget* widget)
{
    QSettings* settings = widget ? Database::userSettings() : nullptr;
    if (!settings)
        return;
    settings->beginGroup(ProductTypeInfo::applicationName());
    settings->setValue(QStringLiteral("%1Geometry").arg(widget->objectName()), widget->saveGeometry());
    settings->endGroup();
}

void restoreWidgetGeometry(QWidget* widget)
{
    QSettings* settings = widget ? Database::userSettings() : nullptr;
    if (!settings)
        return;
    settings->beginGroup(ProductTypeInfo::applicationName());
    const QByteArray geometry =
        settings->value(QStringLiteral("%1Geometry").arg(widget->objectName()), QByteArray()).toByteArray();
    settings->endGroup();
    widget->restoreGeometry(geometry);
}

int showPlainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                     QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

bool confirmOkCancel(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Внимание!"), text,
                                QMessageBox::Ok | QMessageBox::Cancel, parent);
    box->setTextFormat(Qt::PlainText);
    const int answer = box->exec();
    box->deleteLater();
    return answer == QMessageBox::Ok;
}

int execSilenceableNotice(bool* ask, const QString& text, Qt::TextFormat format, QMessageBox::StandardButtons buttons,
                          QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::Information, QString(), QString(), buttons);
    box.setTextFormat(format);
    box.setText(text);
    box.setDefaultButton(defaultButton);
    auto* checkBox = new QCheckBox(QStringLiteral("Больше не предупреждать"), &box);
    box.setCheckBox(checkBox);
    QObject::connect(checkBox, &QCheckBox::stateChanged, [ask](int state) {
        if (state == Qt::Checked)
            *ask = false;
    });
    return box.exec();
}

bool openLocalFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool openWebLink(const QUrl& url)
{
    if (!NetworkAccess::isWebUrl(url)) {
        VLOG << "refused to open link" << url.toString();
        return false;
    }
    return QDesktopServices::openUrl(url);
}
