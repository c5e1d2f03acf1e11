#include "dialogs/ComboBoxRateItemDelegate.h"
#include "dialogs/LineEditItemDelegate.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QValidator>

// The grade chooser as a persistent editor, and the digits-only line edit.
class ItemDelegatesTest : public QObject
{
    Q_OBJECT
private slots:
    void gradeChooser_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("in the list") << "хорошо" << "хорошо";
        QTest::newRow("case differs") << "Отлично" << "";
        QTest::newRow("not a text grade") << "5" << "";
    }

    // Showing and leaving a grade keeps what is stored; a choice replaces it.
    void gradeChooser()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), stored);
        QTableView view;
        view.setModel(&model);
        view.setItemDelegateForColumn(0, new ComboBoxRateItemDelegate(&view, false, false));
        view.openPersistentEditor(model.index(0, 0));
        auto* combo = qobject_cast<QComboBox*>(view.indexWidget(model.index(0, 0)));
        QVERIFY(combo);
        QCOMPARE(combo->count(), 5);
        QCOMPARE(combo->currentText(), shown);

        QFocusEvent leave(QEvent::FocusOut);
        QCoreApplication::sendEvent(combo, &leave); // commits the editor
        QCOMPARE(model.data(model.index(0, 0)).toString(), stored);

        QTest::keyClick(combo, Qt::Key_End); // the user picks the last grade
        QCoreApplication::sendEvent(combo, &leave);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("зачтено"));
    }

    void digitsOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("digits and blanks") << "12 34 " << true;
        QTest::newRow("comma") << "12,5" << false;
        QTest::newRow("point") << "12.5" << false;
        QTest::newRow("letters") << "12ч" << false;
    }

    void digitsOnly()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        LineEditItemDelegate delegate(nullptr, true);
        QWidget parent;
        auto* editor = qobject_cast<QLineEdit*>(delegate.createEditor(&parent, QStyleOptionViewItem(), QModelIndex()));
        QVERIFY(editor && editor->validator());
        int position = 0;
        QCOMPARE(editor->validator()->validate(text, position) == QValidator::Acceptable, accepted);
    }
};

VELSPO_TEST_MAIN(ItemDelegatesTest)
#include "tst_itemdelegates.moc"
