#pragma once

#include <QString>
#include <QStringList>

class ReportPage;

// Fills a page with a made-up document (the same variables and table models
// the program's loader binds) and draws every side of it, over its
// background as printed, into a PNG file at 4 dots per mm, for looking the
// layouts over. Returns the files written.
QStringList renderPreview(ReportPage& page, const QString& name, const QString& outputDir);
