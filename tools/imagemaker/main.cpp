// Draws the registered images and saves them as PNG below the given folder.
#include "GifWriter.h"
#include "ImageRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

std::vector<ImageSpec>& imageRegistry()
{
    static std::vector<ImageSpec> images;
    return images;
}

std::vector<AnimationSpec>& animationRegistry()
{
    static std::vector<AnimationSpec> animations;
    return animations;
}

namespace {

QImage paintFrame(const QSize& size, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    draw(painter);
    painter.end();
    return image;
}

} // namespace

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
        const QImage image = paintFrame(spec.size, [&spec](QPainter& p) { spec.draw(p, spec.size); });
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
    for (const AnimationSpec& spec : animationRegistry()) {
        if (!only.isEmpty() && !only.contains(spec.path))
            continue;
        QList<QImage> frames;
        for (int i = 0; i < spec.frames; ++i)
            frames.append(paintFrame(spec.size, [&spec, i](QPainter& p) { spec.draw(p, spec.size, i); }));
        const QString file = out.absoluteFilePath(spec.path);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (writeAnimatedGif(file, frames, spec.delayMs)) {
            // giflib creates its files readable by the owner only.
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                            | QFileDevice::ReadOther);
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
