#include "GifWriter.h"

#include <gif_lib.h>
#include <vector>

namespace {

// NETSCAPE2.0 application block: loop forever.
bool putLoopExtension(GifFileType* gif)
{
    static const GifByteType name[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType loop[] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK
        && EGifPutExtensionBlock(gif, sizeof(name), name) == GIF_OK
        && EGifPutExtensionBlock(gif, sizeof(loop), loop) == GIF_OK
        && EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool putFrame(GifFileType* gif, const QImage& frame, int delayMs)
{
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB888);
    const int w = rgb.width();
    const int h = rgb.height();
    std::vector<GifByteType> red(size_t(w) * h), green(red.size()), blue(red.size()), indices(red.size());
    for (int y = 0; y < h; ++y) {
        const uchar* line = rgb.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            red[i] = line[3 * x];
            green[i] = line[3 * x + 1];
            blue[i] = line[3 * x + 2];
        }
    }
    int colours = 256;
    GifColorType palette[256] = {};
    if (GifQuantizeBuffer(w, h, &colours, red.data(), green.data(), blue.data(), indices.data(), palette) != GIF_OK)
        return false;
    ColorMapObject* map = GifMakeMapObject(256, palette);
    if (!map)
        return false;

    GraphicsControlBlock control = {};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.DelayTime = delayMs / 10;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType controlBytes[4];
    const size_t controlSize = EGifGCBToExtension(&control, controlBytes);

    bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(controlSize), controlBytes) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, w, h, false, map) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, indices.data() + size_t(y) * w, w) == GIF_OK;
    GifFreeMapObject(map);
    return ok;
}

} // namespace

bool writeAnimatedGif(const QString& path, const QList<QImage>& frames, int delayMs)
{
    if (frames.isEmpty())
        return false;
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.toLocal8Bit().constData(), false, &error);
    if (!gif)
        return false;
    EGifSetGifVersion(gif, true);
    const QSize size = frames.first().size();
    bool ok = EGifPutScreenDesc(gif, size.width(), size.height(), 8, 0, nullptr) == GIF_OK && putLoopExtension(gif);
    for (const QImage& frame : frames) {
        if (!ok)
            break;
        ok = putFrame(gif, frame, delayMs);
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}
