#include "app/options/OverlayImage.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cstdio>

namespace {

std::string Patterns(const std::vector<std::string>& extensions) {
    std::string text;
    for (const std::string& extension : extensions) {
        QString upper = QString::fromStdString(extension).toUpper();
        text += (text.empty() ? "" : ";") + ("*." + extension) + ";*." + upper.toStdString();
    }
    return text;
}

void Fail(const std::string& file, const char* why) {
    std::fprintf(stderr, "orvanta: overlay image %s: %s\n", file.c_str(), why);
}

}  // namespace

std::vector<std::string> OverlayImageExtensions() {
    std::vector<std::string> extensions;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        extensions.push_back(format.toLower().toStdString());
    std::sort(extensions.begin(), extensions.end());
    extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
    return extensions;
}

std::string OverlayImageFilter() {
    return "All Support Formats|" + Patterns(OverlayImageExtensions()) + "|JPG files|" +
           Patterns({"jpg", "jpeg"}) + "|GIF files|" + Patterns({"gif"}) + "|BMP files|" + Patterns({"bmp"}) +
           "|ICON files|" + Patterns({"ico"}) + "||";
}

std::optional<OverlayImageCopy> MakeOverlayImageCopy(const std::string& file, const std::string& programFolder) {
    const QFileInfo info(QString::fromStdString(file));
    const std::string extension = info.suffix().toLower().toStdString();
    const std::vector<std::string> known = OverlayImageExtensions();
    if (extension.empty() || std::find(known.begin(), known.end(), extension) == known.end()) {
        Fail(file, "no image reader knows this file type");
        return std::nullopt;
    }
    QImageReader reader(info.filePath());
    // A multi-frame file (a TIFF, an icon with several sizes) gives its last frame; a GIF keeps its
    // first, as animations start there.
    if (extension != "gif" && reader.imageCount() > 1 && !reader.jumpToImage(reader.imageCount() - 1)) {
        // Readers that cannot jump get there frame by frame.
        for (int i = 0; i + 1 < reader.imageCount() && reader.canRead(); ++i) reader.read();
    }
    QImage picture = reader.read();
    if (picture.isNull()) {
        Fail(file, reader.errorString().toUtf8().constData());
        return std::nullopt;
    }
    QImage flat(picture.size(), QImage::Format_RGB888);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
    }
    const QString folder = QString::fromStdString(programFolder + "/pictmp");
    if (!QDir().mkpath(folder)) {
        Fail(file, "the pictmp folder cannot be made");
        return std::nullopt;
    }
    const QString copy = folder + "/" + info.completeBaseName() + ".bmp";
    if (!flat.save(copy, "BMP")) {
        Fail(file, "its BMP copy cannot be saved");
        return std::nullopt;
    }
    // Column 1 of row 1 counted from the bottom, kept inside pictures smaller than that.
    const int x = std::min(1, flat.width() - 1);
    const int y = std::max(0, flat.height() - 2);
    return OverlayImageCopy{copy.toStdString(), FromQColor(flat.pixelColor(x, y))};
}
