// Draws the registered images and saves them as PNG below the given folder.
#include "ImageRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

std::vector<ImageSpec>& imageRegistry()
{
    static std::vector<ImageSpec> images;
    return images;
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: imagemaker <resources folder> [image path...]\n");
        return 2;
    }
    const QDir out(args.at(1));
    const QStringList only = args.mid(2);
    int failures = 0;
    int written = 0;
    for (const ImageSpec& spec : imageRegistry()) {
        if (!only.isEmpty() && !only.contains(spec.path))
            continue;
        QImage image(spec.size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            spec.draw(painter, spec.size);
        }
        const QString file = out.absoluteFilePath(spec.path);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (image.save(file, "PNG")) {
            std::printf("%s\n", qPrintable(file));
            ++written;
        } else {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        }
    }
    if (written == 0 && failures == 0) {
        std::fprintf(stderr, "no image matched\n");
        return 1;
    }
    return failures ? 1 : 0;
}
