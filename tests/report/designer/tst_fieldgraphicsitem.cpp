#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/designer/FieldGraphicsItem.h"

class TestFieldGraphicsItem : public QObject
{
    Q_OBJECT

private slots:
    void builds()
    {
        FieldGraphicsItem item(nullptr);
        QCOMPARE(item.fieldType(), 0);
    }
};

VELSPO_TEST_MAIN(TestFieldGraphicsItem)
#include "tst_fieldgraphicsitem.moc"
