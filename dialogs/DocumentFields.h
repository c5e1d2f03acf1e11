#pragma once

#include <QDate>
#include <QString>

// What the document form edits in one SpoDocuments row, as the user typed it.
// The summary columns of the supplement are not here: the supplement editor
// owns them.
struct DocumentFields
{
    QString fio1;
    QString fio2;
    QString fio3;
    QString qual;
    int programType = 0; // 0 by profession, 1 by specialty
    QString professionName;
    QString professionCode;
    bool isDuplicate = false;
    bool isExcellent = false;
    QString regNumber;
    QDate issueDate;
    QDate decisionDate;
    QDate birthDate;
    QString serial;
    QString number;
    QString additionSerial;
    QString additionNumber;
    QString deductionNumber;
    QDate deductionDate;
};
