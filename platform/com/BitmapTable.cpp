#include "platform/com/BitmapTable.h"

#include <QCoreApplication>
#include <QVariant>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

constexpr const char* kTableProperty = "orvanta.bitmapTable.1";
constexpr uint32_t kLastHandle = 0x7FFFFFFF;

struct SharedBitmapTable {
    std::mutex mutex;
    std::unordered_map<uint32_t, QImage> images;
    uint32_t next = 1;
};

SharedBitmapTable& Table() {
    // Lives as long as the process: the module that made it may be unloaded while others use it.
    static SharedBitmapTable* table = [] {
        QCoreApplication* app = QCoreApplication::instance();
        if (app) {
            QVariant shared = app->property(kTableProperty);
            if (shared.isValid())
                return reinterpret_cast<SharedBitmapTable*>(shared.value<quintptr>());
        }
        SharedBitmapTable* created = std::make_unique<SharedBitmapTable>().release();
        if (app)
            app->setProperty(kTableProperty,
                             QVariant::fromValue(reinterpret_cast<quintptr>(created)));
        return created;
    }();
    return *table;
}

}  // namespace

HBITMAP CreateBitmapFromImage(const QImage& image) {
    if (image.isNull()) return 0;
    SharedBitmapTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.images.size() >= kLastHandle) return 0;
    while (table.images.count(table.next))
        table.next = table.next >= kLastHandle ? 1 : table.next + 1;
    HBITMAP handle = table.next;
    table.next = table.next >= kLastHandle ? 1 : table.next + 1;
    table.images.emplace(handle, image);
    return handle;
}

bool GetBitmapImage(HBITMAP bitmap, QImage* image) {
    SharedBitmapTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.images.find(bitmap);
    if (it == table.images.end()) return false;
    if (image) *image = it->second;
    return true;
}

bool IsBitmapHandle(HBITMAP bitmap) {
    return bitmap != 0 && GetBitmapImage(bitmap, nullptr);
}

BOOL DeleteObject(HGDIOBJ object) {
    SharedBitmapTable& table = Table();
    QImage released;  // freed outside the lock
    std::lock_guard lock(table.mutex);
    auto it = table.images.find(object);
    if (it == table.images.end()) return FALSE;
    released = std::move(it->second);
    table.images.erase(it);
    return TRUE;
}

size_t LiveBitmapCount() {
    SharedBitmapTable& table = Table();
    std::lock_guard lock(table.mutex);
    return table.images.size();
}
