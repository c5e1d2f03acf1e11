#pragma once

#include <QDate>
#include <QString>

class ReportPage;

// The loader shared by every report type: the contract between the report
// templates and the database. It sets the report variables of one document
// and of the organisation's requisites, and binds the supplement's two table
// models ("ViewSpoDetails", "ViewSpoCourseworks"), owned by the page.
//
// useData true: the document sqlDocId; a missing document leaves the page
// without variables and models. useData false: the first row of SpoDocuments
// (or empty values when there is none) and empty tables, as sample data.
//
// When any of it cannot be read (a damaged file, an I/O error) the page gets
// nothing but ReportPage::dataProblem(), naming the parts not read; a read
// that met damaged pages marks the database as known damaged.
void loadSpoData(ReportPage* page, int sqlDocId, bool useData);

// "05 июня 2015"; an invalid date gives "".
QString dateToText(const QDate& date);
// "января" ... "декабря" for 1 ... 12, "" otherwise.
QString monthNameGenitive(int month);
// "Иванов Иван Иванович" -> "Иванов И.И.", "Иванов Иван" -> "Иванов И.".
QString fioToShort(const QString& fio);
// A date as stored ("yyyy-MM-dd"); anything else gives an invalid date.
QDate storedDate(const QString& text);
// The date in a QDate format; an invalid date gives "".
QString formatDate(const QDate& date, const QString& format);
