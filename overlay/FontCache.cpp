#include "overlay/FontCache.h"

#include <algorithm>

#include <QFontDatabase>
#include <QString>
#include <QStringList>

#include "overlay/OverlayParams.h"

namespace {
// A handful of faces are in use at a time (text, date, maybe a recent change); older entries go.
constexpr size_t kMaxEntries = 8;

QFont MakeFont(const QString& family, int pixelSize, int styleBits) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold((styleBits & kFontBold) != 0);
    font.setItalic((styleBits & kFontItalic) != 0);
    font.setUnderline((styleBits & kFontUnderline) != 0);
    font.setStrikeOut((styleBits & kFontStrikeout) != 0);
    return font;
}

QFont MakeSansSerif(int pixelSize, int styleBits) {
    QFont font = MakeFont(QStringLiteral("sans-serif"), pixelSize, styleBits);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
}  // namespace

bool FontCache::IsInstalled(std::string_view face) {
    if (face.empty()) return false;
    const QString family = QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size()));
    // hasFamily also answers for substitutes fontconfig would pick; ask for the exact family.
    const QStringList families = QFontDatabase::families();
    return families.contains(family, Qt::CaseInsensitive);
}

std::optional<QFont> FontCache::Resolve(std::string_view face, int pixelSize, int styleBits,
                                        FontFallback fallback) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.pixelSize == pixelSize && e.styleBits == styleBits && e.fallback == fallback && e.face == face) {
            if (i != 0) std::rotate(entries_.begin(), entries_.begin() + static_cast<long>(i),
                                    entries_.begin() + static_cast<long>(i) + 1);
            return entries_.front().font;
        }
    }
    std::optional<QFont> font;
    if (pixelSize >= 1) {
        if (IsInstalled(face)) {
            font = MakeFont(QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size())), pixelSize,
                            styleBits);
        } else if (fallback == FontFallback::SansSerif) {
            font = MakeSansSerif(pixelSize, styleBits);
        }
    }
    if (entries_.size() == kMaxEntries) entries_.pop_back();
    entries_.insert(entries_.begin(), Entry{std::string(face), pixelSize, styleBits, fallback, font});
    return font;
}
