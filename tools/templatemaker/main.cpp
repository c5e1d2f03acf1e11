// Writes the default report templates (id120, id121, id121double, id124)
// into the given folder; with --preview DIR also draws each of them filled
// with a made-up document into PNG files.
#include "SamplePreview.h"
#include "TemplateLayouts.h"

#include "report/ReportPage.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString previewDir;
    const int previewAt = args.indexOf(QStringLiteral("--preview"));
    if (previewAt >= 0) {
        previewDir = args.value(previewAt + 1);
        args.erase(args.begin() + previewAt, args.begin() + qMin(previewAt + 2, args.size()));
    }
    if (args.size() != 1 || (previewAt >= 0 && previewDir.isEmpty())) {
        std::fprintf(stderr, "usage: templatemaker <reports folder> [--preview <png folder>]\n");
        return 2;
    }
    const QDir out(args.first());
    if (!QDir().mkpath(out.absolutePath())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.absolutePath()));
        return 1;
    }

    int failures = 0;
    for (const TemplateDefinition& entry : templateDefinitions()) {
        const QString file = out.absoluteFilePath(entry.name + QStringLiteral(".velrpt"));
        {
            ReportPage page;
            entry.layout(page);
            if (!page.save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                ++failures;
                continue;
            }
        }
        std::printf("%s\n", qPrintable(file));
        if (previewDir.isEmpty())
            continue;
        // Drawn from the file just written, so the preview shows what was saved.
        ReportPage saved;
        if (!saved.load(file)) {
            std::fprintf(stderr, "cannot read %s back\n", qPrintable(file));
            ++failures;
            continue;
        }
        for (const QString& png : renderPreview(saved, entry.name, previewDir))
            std::printf("  %s\n", qPrintable(png));
    }
    return failures ? 1 : 0;
}
